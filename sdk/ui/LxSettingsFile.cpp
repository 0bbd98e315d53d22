#include "LxSettingsFile.h"

#include "LxAbstractPlugin.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSaveFile>

namespace LxSettingsFile {

QString path() {
    return QDir(LxAbstractPlugin::applicationLocalDataDirectory())
        .absoluteFilePath(QStringLiteral("KalveraTurntable.json"));
}

std::optional<QJsonDocument> read() {
    QFile file(path());
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QJsonDocument::fromJson(file.readAll());
}

void write(const std::function<std::optional<QVariantMap>()>& settings) {
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    const std::optional<QVariantMap> map = settings();
    if (!map) {
        // Not committed: the temporary file goes, the previous file stays.
        return;
    }
    file.write(QJsonDocument(QJsonObject::fromVariantMap(*map)).toJson(QJsonDocument::Indented));
    // A failed write makes the commit discard the new content.
    file.commit();
}

} // namespace LxSettingsFile
