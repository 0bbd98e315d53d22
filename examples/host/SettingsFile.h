#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <QObject>
#include <QVariantMap>

// The settings view's settings from one run of the host to the next, in
// "KalveraTurntable.json" in the application's local data directory. What the
// user saved survives: a file that cannot be read is moved aside to
// "KalveraTurntable.json.unreadable" (".2", ".3" and on), never written over.
// The window's QML reaches it as "settingsFile".
class SettingsFile : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The saved settings; empty when there are none or they cannot be read,
    // and then problem() says why and where the file's bytes are now.
    Q_INVOKABLE QVariantMap load();
    // Replaces the file with `settings`; why they could not be saved, empty
    // when they were. Never over a file that load() could not move aside.
    Q_INVOKABLE QString save(const QVariantMap& settings);
    // Why the last load() found no settings in a file that is there.
    Q_INVOKABLE QString problem() const { return loadProblem; }

private:
    QString path() const;
    void moveAside(const QString& why);

    QString loadProblem;
    bool writable = true;
};

#endif
