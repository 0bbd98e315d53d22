#include "Commands.h"
#include "ExitStatus.h"

int runCheck(const ToolOptions&, EventOutput& output) {
    return output.error(QStringLiteral("unavailable"), QStringLiteral("check: to come"), Failed);
}
