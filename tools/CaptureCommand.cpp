#include "CaptureCommand.h"

#include "TerminationSignals.h"

#include <iostream>

CaptureCommand::CaptureCommand(QString command, int retries, bool json, EventOutput& output,
                               const TerminationSignals& termination)
    : command(std::move(command))
    , retries(retries)
    , json(json)
    , output(output)
    , termination(termination) {}

CaptureCommand::~CaptureCommand() {
    if (process) {
        process->disconnect();
        process->kill();
        process->waitForFinished();
    }
}

void CaptureCommand::start(int index, int count, const QString& angle,
                           std::function<void(bool)> whenDone) {
    substituted = command;
    substituted.replace(QStringLiteral("{index}"), QString::number(index))
        .replace(QStringLiteral("{count}"), QString::number(count))
        .replace(QStringLiteral("{angle}"), angle);
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KALVERA_INDEX"), QString::number(index));
    environment.insert(QStringLiteral("KALVERA_COUNT"), QString::number(count));
    environment.insert(QStringLiteral("KALVERA_ANGLE"), angle);
    attemptsLeft = retries + 1;
    done = std::move(whenDone);
    launch();
}

void CaptureCommand::launch() {
    --attemptsLeft;
    output.clearProgress();
    process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(json ? QProcess::ForwardedErrorChannel
                                        : QProcess::ForwardedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    QProcess* const running = process.get();
    if (json) {
        QObject::connect(running, &QProcess::readyReadStandardOutput, running, [running] {
            std::cerr << running->readAllStandardOutput().toStdString() << std::flush;
        });
    }
    QObject::connect(running, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     running, [this](int code, QProcess::ExitStatus status) {
                         if (status == QProcess::CrashExit) {
                             ended(false, QStringLiteral("ended by a signal"));
                         } else {
                             ended(code == 0, QStringLiteral("exit status %1").arg(code));
                         }
                     });
    QObject::connect(running, &QProcess::errorOccurred, running,
                     [this, running](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             ended(false, running->errorString());
                         }
                     });
    process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), substituted});
}

void CaptureCommand::ended(bool succeeded, const QString& how) {
    // The process object may not go inside its own signal.
    process.release()->deleteLater();
    if (termination.received() != 0) {
        attemptsLeft = 0;
    }
    if (!succeeded) {
        output.note(QStringLiteral("The capture command \"%1\" failed (%2)%3.\n")
                        .arg(substituted, how,
                             attemptsLeft > 0 ? QStringLiteral("; trying again") : QString()));
        if (attemptsLeft > 0) {
            launch();
            return;
        }
    }
    done(succeeded);
}
