#ifndef LXSETTINGSFILE_H
#define LXSETTINGSFILE_H

#include <QJsonDocument>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

// The settings file "KalveraTurntable.json" in the application's local data
// directory, which keeps the view's settings map from one run to the next:
// one JSON object in Qt's indented form (four spaces, keys in ascending
// order). Whatever the user saved survives: a file that cannot be read is
// moved aside, never written over. Only a file that cannot be read or saved
// gives the host a text; a file read or saved well gives none.
namespace LxSettingsFile {

// The file's absolute path; creates the data directory when it is missing.
QString path();

// What reading the file found.
struct Reading {
    // What to load into the view: nothing when there was no file or it could
    // not be opened; a null document when it held no settings object.
    std::optional<QJsonDocument> document;
    // For the host when the file could not be read: why, and where its bytes
    // are now. Empty when the file read well or there was none.
    QString problem;
    // False while a file that could not be read still stands in its place:
    // the next write would lose it.
    bool writable = true;
};

// Reads the file. One that cannot be opened, does not parse or holds no
// object is moved aside to "KalveraTurntable.json.unreadable" (".2", ".3" and
// on where earlier ones are kept); when it cannot be moved, it stays where
// it is and is not writable.
Reading read();

// Replaces the file with the map that `settings` gives, asked only once the
// file can be written. Atomic where the directory takes a temporary file;
// where it does not, the file is written in place. When `settings` gives no
// map, the file stays as it was.
// \return why the settings could not be saved; empty when they were saved or
// `settings` gave none.
QString write(const std::function<std::optional<QVariantMap>()>& settings);

// Why a close saves nothing over a file that read() left unwritable.
QString notWrittenOverUnreadable();

} // namespace LxSettingsFile

#endif
