#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

// As the settings view: far more kept files than anyone lets gather.
constexpr int kMaxKeptFiles = 1000;

QString freeKeptName(const QString& path) {
    const QString kept = path + QStringLiteral(".unreadable");
    for (int number = 1; number <= kMaxKeptFiles; ++number) {
        const QString name = number == 1 ? kept : kept + QLatin1Char('.') + QString::number(number);
        const QFileInfo info(name);
        if (!info.exists() && !info.isSymLink()) {
            return name;
        }
    }
    return {};
}

SettingsFileReading keepAside(const QString& path, const QString& why) {
    const QString kept = freeKeptName(path);
    QFile file(path);
    // QFile::rename() never replaces a file that is there.
    if (!kept.isEmpty() && file.rename(kept)) {
        return {{},
                QStringLiteral("The settings file \"%1\" could not be read (%2). It was kept as "
                               "\"%3\"; nothing moved.")
                    .arg(path, why, kept)};
    }
    return {{},
            QStringLiteral("The settings file \"%1\" could not be read (%2) nor moved aside "
                           "(%3); it is left as it is, and nothing moved.")
                .arg(path, why,
                     kept.isEmpty() ? QStringLiteral("%1 earlier ones are kept").arg(kMaxKeptFiles)
                                    : file.errorString())};
}

// Lines and columns from 1, a column in characters, as an editor counts.
QString whereTheParseStopped(const QByteArray& content, const QJsonParseError& parse) {
    const QByteArray before = content.left(parse.offset);
    const int lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("%1 at line %2, column %3")
        .arg(parse.errorString())
        .arg(before.count('\n') + 1)
        .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1);
}

} // namespace

SettingsFileReading readSettingsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {
            {},
            QStringLiteral("The settings file \"%1\" does not exist; nothing moved.").arg(path)};
    }
    // A directory, a device or a FIFO is no settings file the view wrote: it
    // is never moved aside, and a FIFO is never opened, as the open would
    // wait for a writer.
    if (!info.isFile()) {
        return {{},
                QStringLiteral("\"%1\" is not a regular file; give a settings file. Nothing "
                               "moved.")
                    .arg(path)};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{},
                QStringLiteral("The settings file \"%1\" cannot be opened (%2); nothing moved.")
                    .arg(path, file.errorString())};
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{},
                QStringLiteral("The settings file \"%1\" cannot be read (%2); nothing moved.")
                    .arg(path, file.errorString())};
    }
    file.close();
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parse);
    if (parse.error != QJsonParseError::NoError) {
        return keepAside(path, whereTheParseStopped(content, parse));
    }
    if (!document.isObject()) {
        return keepAside(path, QStringLiteral("it holds no settings object"));
    }
    return {document.object().toVariantMap(), {}};
}
