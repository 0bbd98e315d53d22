#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

QString SettingsFile::path() const {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/KalveraTurntable.json");
}

QVariantMap SettingsFile::load() {
    loadProblem.clear();
    writable = true;
    QFile file(path());
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        moveAside(file.errorString());
        return {};
    }
    const QByteArray content = file.readAll();
    file.close();
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &parse);
    if (parse.error != QJsonParseError::NoError) {
        // Where the reading stopped, as an editor counts lines.
        const QByteArray before = content.left(parse.offset);
        moveAside(tr("%1 at line %2, column %3")
                      .arg(parse.errorString())
                      .arg(before.count('\n') + 1)
                      .arg(parse.offset - before.lastIndexOf('\n')));
        return {};
    }
    if (!document.isObject()) {
        moveAside(tr("it holds no settings object"));
        return {};
    }
    return document.object().toVariantMap();
}

void SettingsFile::moveAside(const QString& why) {
    const QString file = path();
    QString kept = file + QStringLiteral(".unreadable");
    for (int number = 2; QFileInfo::exists(kept); ++number) {
        kept = file + QStringLiteral(".unreadable.") + QString::number(number);
    }
    writable = QFile::rename(file, kept);
    loadProblem = writable ? tr("The settings file \"%1\" could not be read (%2). It was kept as "
                                "\"%3\", and the settings start from their defaults.")
                                 .arg(file, why, kept)
                           : tr("The settings file \"%1\" could not be read (%2) nor moved aside. "
                                "It is left as it is, and no settings are saved over it.")
                                 .arg(file, why);
}

QString SettingsFile::save(const QVariantMap& settings) {
    const QString file = path();
    if (!writable) {
        return tr("The settings are not saved over \"%1\", which could not be read.").arg(file);
    }
    QSaveFile out(file);
    if (!QDir().mkpath(QFileInfo(file).path()) || !out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(QJsonObject::fromVariantMap(settings)).toJson()) < 0 ||
        !out.commit()) {
        return tr("The settings could not be saved to \"%1\" (%2).")
            .arg(file, out.errorString().isEmpty() ? tr("no data directory") : out.errorString());
    }
    return {};
}
