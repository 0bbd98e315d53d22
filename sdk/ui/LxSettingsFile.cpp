#include "LxSettingsFile.h"

#include "LxAbstractPlugin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QObject>
#include <QSaveFile>

namespace LxSettingsFile {

namespace {

// Far more kept files than a user lets gather; past it, the file stays put.
constexpr int maxKeptFiles = 1000;

// The first name beside `file` that no earlier kept file holds; empty when
// all are taken.
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
Reading moveAside(const QString& file, const QString& why,
                  const std::optional<QJsonDocument>& document) {
    const QString kept = freeKeptFileName(file);
    QFile unreadable(file);
    // QFile::rename() refuses a name that is taken: no kept file is replaced.
    if (!kept.isEmpty() && unreadable.rename(kept)) {
        return {document,
                QObject::tr("The settings file \"%1\" could not be read (%2). It was kept as "
                            "\"%3\", and the settings start from their defaults.")
                    .arg(file, why, kept),
                true};
    }
    const QString moveFailure = kept.isEmpty()
                                    ? QObject::tr("%1 earlier ones are kept").arg(maxKeptFiles)
                                    : unreadable.errorString();
    return {document,
            QObject::tr("The settings file \"%1\" could not be read (%2) nor moved aside (%3). It "
                        "is left as it is, and no settings are saved over it.")
                .arg(file, why, moveFailure),
            false};
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
// fallback would truncate the file on opening, before the view has answered;
// here a view without a map leaves it whole.
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

QString path() {
    return QDir(LxAbstractPlugin::applicationLocalDataDirectory())
        .absoluteFilePath(QStringLiteral("KalveraTurntable.json"));
}

Reading read() {
    const QString name = path();
    QFile file(name);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return moveAside(name, file.errorString(), std::nullopt);
    }
    const QByteArray content = file.readAll();
    const bool readWhole = file.error() == QFileDevice::NoError;
    const QString readFailure = file.errorString();
    file.close();
    if (!readWhole) {
        return moveAside(name, readFailure, std::nullopt);
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parse);
    if (parse.error != QJsonParseError::NoError) {
        return moveAside(name, parseFailure(content, parse), QJsonDocument());
    }
    if (!document.isObject()) {
        return moveAside(name, QObject::tr("it holds no settings object"), QJsonDocument());
    }
    return {document, {}, true};
}

QString write(const std::function<std::optional<QVariantMap>()>& settings) {
    const QString name = path();
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        return writeInPlace(name, settings);
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
        return writeInPlace(name, [&map] { return map; });
    }
    return saveFailure(name, file.errorString());
}

QString notWrittenOverUnreadable() {
    return QObject::tr("The settings were not saved: \"%1\" could not be read and is left as it "
                       "is.")
        .arg(path());
}

} // namespace LxSettingsFile
