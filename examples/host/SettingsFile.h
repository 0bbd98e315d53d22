#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <LxSettingsFile.h>

#include <QObject>
#include <QVariantMap>

// The settings view's settings from one run of the host to the next, in the
// SDK's settings file, kept as the SDK keeps its own view's: a file that
// cannot be read is moved aside, never written over. The window's QML reaches
// it as "settingsFile".
class SettingsFile : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The saved settings; empty when there are none or they cannot be read,
    // and then problem() says why and where the file's bytes are now.
    Q_INVOKABLE QVariantMap load() {
        const auto reading =
            LxSettingsFile::read(LxSettingsFile::path(), LxSettingsFile::Use::ReadAndWrite);
        loadProblem = reading.problem;
        writable = reading.writable();
        return reading.settings.toVariantMap();
    }
    // Replaces the file with `settings`; why they could not be saved, empty
    // when they were. Never over a file that load() could not move aside.
    Q_INVOKABLE QString save(const QVariantMap& settings) const {
        const QString path = LxSettingsFile::path();
        return writable
                   ? LxSettingsFile::write(path, [&settings] { return std::optional(settings); })
                   : LxSettingsFile::notWrittenOverUnreadable(path);
    }
    // Why the last load() found no settings in a file that is there.
    Q_INVOKABLE QString problem() const { return loadProblem; }

private:
    QString loadProblem;
    bool writable = true;
};

#endif
