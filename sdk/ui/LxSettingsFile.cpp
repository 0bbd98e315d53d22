#include "LxSettingsFile.h"

#include "LxAbstractPlugin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QObject>
#include <QSaveFile>

namespace LxSettingsFile {

namespace {

using Outcome = Reading::Outcome;

// Far more kept files than a user lets gather; past it, the file stays put.
constexpr int maxKeptFiles = 1000;

// The first name beside `file` that nothing stands on, not even a dangling
// link: renaming onto a link would replace it, and writing through one would
// leave the directory. Empty when all are taken.
QString freeKeptFileName(const QString& file) {
    const QString kept = file + QStringLiteral(".unreadable");
    for (int number = 1; number <= maxKeptFiles; ++number) {
        const QString name = number == 1 ? kept : kept + QLatin1Char('.') + QString::number(number);
        const QFileInfo info(name);
        if (!info.exists() && !info.isSymLink()) {
            return name;
        }
    }
    return {};
}

// Moves the file out of the way of the next write, so that its bytes survive.
Reading moveAside(const QString& file, Outcome outcome, const QString& why) {
    const QString kept = freeKeptFileName(file);
    QFile unreadable(file);
    // QFile::rename() refuses a name that is taken: no kept file is replaced.
    if (!kept.isEmpty() && unreadable.rename(kept)) {
        return {outcome,
                {},
                kept,
                QObject::tr("The settings file \"%1\" could not be read (%2). It was kept as "
                            "\"%3\".")
                    .arg(file, why, kept)};
    }
    const QString moveFailure = kept.isEmpty()
                                    ? QObject::tr("%1 earlier ones are kept").arg(maxKeptFiles)
                                    : unreadable.errorString();
    return {outcome,
            {},
            {},
            QObject::tr("The settings file \"%1\" could not be read (%2) nor moved aside (%3). It "
                        "is left as it is.")
                .arg(file, why, moveFailure)};
}

Reading cannotBeRead(const QString& file, Use use, const QString& why) {
    if (use == Use::ReadAndWrite) {
        return moveAside(file, Outcome::CannotBeRead, why);
    }
    return {Outcome::CannotBeRead,
            {},
            {},
            QObject::tr("The settings file \"%1\" cannot be read (%2). It is left as it is.")
                .arg(file, why)};
}

// Where a parse stopped, as an editor counts: lines and columns from 1, a
// column in characters.
QString parseFailure(const QByteArray& content, const QJsonParseError& parse) {
    const QByteArray before = content.left(parse.offset);
    const int lineStart = before.lastIndexOf('\n') + 1;
    return QObject::tr("%1 at line %2, column %3")
        .arg(parse.errorString())
        .arg(before.count('\n') + 1)
        .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1);
}

QByteArray toJson(const QVariantMap& settings) {
    return QJsonDocument(QJsonObject::fromVariantMap(settings)).toJson(QJsonDocument::Indented);
}

QString saveFailure(const QString& file, const QString& why) {
    return QObject::tr("The settings could not be saved to \"%1\" (%2).").arg(file, why);
}

// Without a temporary file the write cannot be atomic. QSaveFile's own
// fallback would truncate the file on opening, before `settings` has
// answered; here an answer without a map leaves it whole.
QString writeInPlace(const QString& path,
                     const std::function<std::optional<QVariantMap>()>& settings) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return saveFailure(path, file.errorString());
    }
    const std::optional<QVariantMap> map = settings();
    if (!map) {
        return {};
    }
    const QByteArray json = toJson(*map);
    if (!file.resize(0) || file.write(json) != json.size() || !file.flush()) {
        return saveFailure(path, file.errorString());
    }
    return {};
}

} // namespace

bool Reading::writable() const {
    switch (outcome) {
    case Outcome::Read:
    case Outcome::Missing:
        return true;
    case Outcome::NotARegularFile:
        return false;
    case Outcome::CannotBeRead:
    case Outcome::NoSettings:
        return !keptAs.isEmpty();
    }
    return false;
}

QString path() {
    return QDir(LxAbstractPlugin::applicationLocalDataDirectory())
        .absoluteFilePath(QStringLiteral("KalveraTurntable.json"));
}

Reading read(const QString& path, Use use) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {};
    }
    if (!info.isFile()) {
        return {Outcome::NotARegularFile,
                {},
                {},
                QObject::tr("\"%1\" is not a regular file. It is left as it is.").arg(path)};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return cannotBeRead(path, use, file.errorString());
    }
    const QByteArray content = file.readAll();
    const bool readWhole = file.error() == QFileDevice::NoError;
    const QString readFailure = file.errorString();
    file.close();
    if (!readWhole) {
        return cannotBeRead(path, use, readFailure);
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parse);
    if (parse.error != QJsonParseError::NoError) {
        return moveAside(path, Outcome::NoSettings, parseFailure(content, parse));
    }
    if (!document.isObject()) {
        return moveAside(path, Outcome::NoSettings, QObject::tr("it holds no settings object"));
    }
    return {Outcome::Read, document.object(), {}, {}};
}

QString write(const QString& path, const std::function<std::optional<QVariantMap>()>& settings) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return writeInPlace(path, settings);
    }
    const std::optional<QVariantMap> map = settings();
    if (!map) {
        // Not committed: the temporary file goes, the previous file stays.
        return {};
    }
    file.write(toJson(*map));
    // A failed write makes the commit discard the new content.
    if (file.commit()) {
        return {};
    }
    // A directory that lets the temporary file be made may still refuse the
    // rename over the file (a sticky directory, the file another user's); the
    // file itself may still take the settings.
    if (file.error() == QFileDevice::RenameError) {
        return writeInPlace(path, [&map] { return map; });
    }
    return saveFailure(path, file.errorString());
}

QString notWrittenOverUnreadable(const QString& path) {
    return QObject::tr("The settings were not saved: \"%1\" could not be read and is left as it "
                       "is.")
        .arg(path);
}

} // namespace LxSettingsFile
