#include "ConsoleProgram.h"

#include <QProcess>

namespace {

constexpr int kProgramTimeoutMs = 30000;

} // namespace

ProgramResult runProgram(const QString& program, const std::string& input, InputEnd end,
                         const QProcessEnvironment& environment, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramResult run;
    if (!process.waitForStarted(kProgramTimeoutMs)) {
        run.errors = process.errorString().toStdString();
        return run;
    }
    process.write(input.data(), static_cast<qint64>(input.size()));
    if (end == InputEnd::Closed) {
        process.closeWriteChannel();
    }
    run.finished = process.waitForFinished(kProgramTimeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(-1);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.output = process.readAllStandardOutput().toStdString();
    run.errors += process.readAllStandardError().toStdString();
    return run;
}
