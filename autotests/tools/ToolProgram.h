#ifndef KALVERA_AUTOTESTS_TOOLPROGRAM_H
#define KALVERA_AUTOTESTS_TOOLPROGRAM_H

#include <QJsonObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <string>
#include <vector>

// kalvera-turntable run as a subprocess on the bus the test runs on (the
// simulator, or the real path over the USB stand-in), each run in a scratch
// directory of its own: its data directory, the bus's report and the files
// its capture commands write.
class ToolProgram {
public:
    ToolProgram();

    // Set in every run's environment, e.g. FTDISIM_DEVICES.
    void setEnvironment(const QString& name, const QString& value);
    QProcessEnvironment environment() const { return env; }
    // A path in the scratch directory.
    QString path(const QString& name) const { return scratch.filePath(name); }
    // The lines of a file in the scratch directory.
    std::vector<std::string> lines(const QString& name) const;
    // The bus's report of every run so far: a line per open and close.
    std::vector<std::string> report() const { return lines(QStringLiteral("bus-report")); }

    struct Run {
        bool finished = false;
        int exitCode = -1;
        std::string output;
        std::string errors;
    };
    Run run(const QStringList& arguments) const;

private:
    QTemporaryDir scratch;
    QProcessEnvironment env;
};

// The events of a --json run, one object per line; a line that is not a JSON
// object fails the test.
std::vector<QJsonObject> jsonEvents(const std::string& output);
// The report's "steps=" of its last close: the steps the stepper took.
int stepsTaken(const std::vector<std::string>& report);

#endif
