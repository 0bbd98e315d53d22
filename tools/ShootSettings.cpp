#include "ShootSettings.h"

#include "TurntableModels.h"

#include <LxSettingsKeys.h>

namespace {

QStringList anglesAsTexts(const std::vector<double>& angles) {
    QStringList texts;
    for (const double angle : angles) {
        texts << QString::number(angle, 'g', 10);
    }
    return texts;
}

} // namespace

ShootSettings shootSettings(const ToolOptions& options, const QVariantMap& fromFile,
                            const MotorLines& openedLines) {
    namespace Key = LxSettingsKeys;
    ShootSettings result;
    QVariantMap& view = result.view;
    view = fromFile;
    view.remove(Key::customAnglesList);
    if (options.frames) {
        view.insert(Key::useCustomAngles, false);
        view.insert(Key::framesCountText, QString::number(*options.frames));
    }
    if (options.angles) {
        view.insert(Key::useCustomAngles, true);
        result.customAngles = anglesAsTexts(*options.angles);
    } else {
        result.customAngles = fromFile.value(Key::customAnglesList).toStringList();
    }
    const QVariantList fileDelays = fromFile.value(Key::captureDelaySeconds).toList();
    const auto delay = [&](const std::optional<double>& given, int which) -> QVariant {
        if (given) {
            return *given;
        }
        return fileDelays.size() > which ? fileDelays.at(which) : QVariant(0);
    };
    view.insert(Key::captureDelaySeconds,
                QVariantList{delay(options.preSeconds, 0), delay(options.postSeconds, 1)});
    if (options.speed || !fromFile.contains(Key::rotationSpeed)) {
        view.insert(Key::rotationSpeed, options.speed.value_or(kFastestSpeed));
    }
    if (options.lockWhenIdle || !fromFile.contains(Key::isLockTableWhenIdle)) {
        view.insert(Key::isLockTableWhenIdle, options.lockWhenIdle.value_or(false));
    }
    if (options.shutter || !fromFile.contains(Key::triggerShutterRelease)) {
        view.insert(Key::triggerShutterRelease, options.shutter.value_or(false));
    }
    // Read only while "Custom" is open; the lines keep the open's levels
    // unless the file names them.
    QVariantMap advanced = fromFile.value(Key::customTurntableAdvancedSettings).toMap();
    if (options.countsPerRevolution) {
        advanced.insert(Key::stepsPerRevolutionText, QString::number(*options.countsPerRevolution));
    }
    if (!advanced.contains(Key::isMotorEnableActiveHigh)) {
        advanced.insert(Key::isMotorEnableActiveHigh, openedLines.enableActiveHigh);
    }
    if (!advanced.contains(Key::isClockwiseActiveHigh)) {
        advanced.insert(Key::isClockwiseActiveHigh, openedLines.clockwiseActiveHigh);
    }
    view.insert(Key::customTurntableAdvancedSettings, advanced);
    return result;
}

unsigned int customCountsPerRevolution(const ToolOptions& options, const QVariantMap& fromFile) {
    if (options.countsPerRevolution) {
        return *options.countsPerRevolution;
    }
    const int counts = fromFile.value(LxSettingsKeys::customTurntableAdvancedSettings)
                           .toMap()
                           .value(LxSettingsKeys::stepsPerRevolutionText)
                           .toString()
                           .toInt();
    return counts > 0 ? static_cast<unsigned int>(counts) : 0;
}

QString customAnglesProblem(const QStringList& angles) {
    double before = 0.0;
    for (const QString& text : angles) {
        bool isNumber = false;
        const double angle = text.toDouble(&isNumber);
        if (!isNumber || angle <= before || angle >= 360.0) {
            return QStringLiteral("the custom angle \"%1\" is no angle above %2 and below 360")
                .arg(text)
                .arg(before);
        }
        before = angle;
    }
    return {};
}
