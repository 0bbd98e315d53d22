#include "Commands.h"
#include "ExitStatus.h"

int runShoot(const ToolOptions&, EventOutput& output, const TerminationSignals&) {
    return output.error(QStringLiteral("unavailable"), QStringLiteral("shoot: to come"), Failed);
}
