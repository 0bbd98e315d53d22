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
// order). Reading and writing are silent: no message, no last error.
namespace LxSettingsFile {

// The file's absolute path; creates the data directory when it is missing.
QString path();

// The file's document; nothing when the file is missing or cannot be opened.
// A file that does not parse gives a null document.
std::optional<QJsonDocument> read();

// Replaces the file with the map that `settings` gives, asked only once the
// file can be written. The replacement is atomic: when `settings` gives no
// map, or opening, writing or committing fails, the previous file stays whole.
void write(const std::function<std::optional<QVariantMap>()>& settings);

} // namespace LxSettingsFile

#endif
