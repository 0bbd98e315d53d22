#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <QString>
#include <QVariantMap>

// A settings file in the format of the SDK's settings view, read for a shoot
// and never written.
struct SettingsFileReading {
    QVariantMap settings;
    // Empty when the file was read; else why not, and where its bytes are now.
    QString problem;
};

// Reads `path`. Something that is not a regular file (a directory, a device,
// a FIFO) or a file that cannot be opened or read is refused as it is. A
// regular file read that does not parse or holds no JSON object is kept as
// the settings view keeps its own: moved
// aside to PATH.unreadable (or .unreadable.2 and on, never over an earlier
// one), with the line and column where a parse stopped; where it cannot be
// moved, it stays as it is.
SettingsFileReading readSettingsFile(const QString& path);

#endif
