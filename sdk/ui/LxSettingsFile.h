#ifndef LXSETTINGSFILE_H
#define LXSETTINGSFILE_H

/// \file
/// A settings file in the settings view's format: one JSON object of the
/// settings map's keys (LxSettingsKeys), in Qt's indented form. The SDK's own
/// view keeps its settings in one; a host or a tool that keeps them itself
/// reads and writes its file with the same operations, so that whatever a
/// user saved survives as it does for the view: a file that cannot be read is
/// moved aside, never written over.

#include "KalveraTurntableSDKGlobal.h"

#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

/// Reading, keeping aside and writing settings files.
namespace LxSettingsFile {

/// The settings view's file, "KalveraTurntable.json" in the application's
/// local data directory (LxAbstractPlugin::applicationLocalDataDirectory(),
/// which is made when missing), as an absolute path.
LX_SDK_EXPORT QString path();

/// What a reader will do with the file after reading it.
enum class Use {
    /// It only reads: a file that cannot be opened or read stays where it is,
    /// as nothing will be written over it.
    ReadOnly,
    /// It writes the file later (write()): a file that cannot be opened or
    /// read is moved aside too, so that the next write loses none of its bytes.
    ReadAndWrite
};

/// What read() found.
struct LX_SDK_EXPORT Reading {
    /// How the reading went.
    enum class Outcome {
        Read,            ///< The file holds a settings object: `settings`.
        Missing,         ///< There is no file (nor a link) at the path.
        NotARegularFile, ///< A directory, a device, a FIFO: never opened nor moved.
        CannotBeRead,    ///< The file could not be opened or read.
        NoSettings       ///< The file is not JSON, or its JSON is not an object.
    };
    /// How the reading went.
    Outcome outcome = Outcome::Missing;
    /// The file's settings object; empty unless `outcome` is Read.
    QJsonObject settings;
    /// Where the file's bytes are now when they were moved aside: the path
    /// with ".unreadable" (or ".unreadable.2" and on) appended; empty when
    /// the file stays where it was.
    QString keptAs;
    /// For the user, when the file is there but gave no settings: what was
    /// wrong with it (for JSON that does not parse, the line and column from
    /// 1 where the reading stopped, the column in characters) and where its
    /// bytes are now. Empty when `outcome` is Read or Missing.
    QString problem;

    /// Whether writing the path loses nothing: there was no file, it was
    /// read, or it was moved aside. False while a file that gave no settings
    /// still stands there.
    bool writable() const;
};

/// Reads the settings file at `path`. Something that is not a regular file is
/// refused as it is (a FIFO would wait for a writer). A file that does not
/// parse or holds no JSON object, and with Use::ReadAndWrite also one that
/// cannot be opened or read, is renamed to the first free name of
/// "PATH.unreadable", "PATH.unreadable.2", ... up to ".unreadable.1000": a
/// name is taken while anything, a dangling link included, stands there, so
/// that no kept file is written over and no link is followed out of the
/// file's directory. When no name is free or the rename fails, the file stays
/// where it is and the reading is not writable().
LX_SDK_EXPORT Reading read(const QString& path, Use use);

/// Replaces the file at `path` with the map that `settings` gives, asked only
/// once the file can be written: atomically where the directory takes a
/// temporary file, else in place. When `settings` gives no map, the file
/// stays as it was. Never call it for a path whose reading was not
/// writable(): notWrittenOverUnreadable() tells the user why.
/// \return why the settings could not be saved ("The settings could not be
/// saved to "PATH" (REASON)."); empty when they were saved or `settings` gave
/// none.
LX_SDK_EXPORT QString write(const QString& path,
                            const std::function<std::optional<QVariantMap>()>& settings);

/// The user's text for settings left unsaved because the file at `path` gave
/// no settings and could not be moved aside.
LX_SDK_EXPORT QString notWrittenOverUnreadable(const QString& path);

} // namespace LxSettingsFile

#endif
