#include "Commands.h"
#include "ExitStatus.h"

int runList(const ToolOptions&, EventOutput& output) {
    return output.error(QStringLiteral("unavailable"), QStringLiteral("list: to come"), Failed);
}
