// shoot: a whole 360-degree shoot, planned by the SDK's settings view.
#include "Commands.h"
#include "ExitStatus.h"
#include "LxSettingsFile.h"
#include "ShootRun.h"
#include "ShootSettings.h"
#include "TerminationSignals.h"
#include "TurntableSession.h"

#include <QCoreApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>

#include <memory>

namespace {

// The view's custom angles are a model in its QML context, which the view's
// own list fills: the same model takes the shoot's.
bool setCustomAngles(QQuickItem* view, const QStringList& angles) {
    QQmlContext* const context = QQmlEngine::contextForObject(view);
    QObject* const model =
        context ? context->contextProperty(QStringLiteral("KalveraTurntableCustomAnglesModel"))
                      .value<QObject*>()
                : nullptr;
    if (!model || !QMetaObject::invokeMethod(model, "clearCustomAngles")) {
        return false;
    }
    for (const QString& angle : angles) {
        QMetaObject::invokeMethod(model, "appendCustomAngle", Q_ARG(QString, angle));
    }
    return true;
}

} // namespace

int runShoot(const ToolOptions& options, EventOutput& output,
             const TerminationSignals& termination) {
    QVariantMap fromFile;
    if (!options.settingsFile.empty()) {
        // Only read: a file that cannot be opened stays where the user has it.
        const QString path = QString::fromStdString(options.settingsFile);
        const LxSettingsFile::Reading reading =
            LxSettingsFile::read(path, LxSettingsFile::Use::ReadOnly);
        if (reading.outcome != LxSettingsFile::Reading::Outcome::Read) {
            const QString problem =
                reading.outcome == LxSettingsFile::Reading::Outcome::Missing
                    ? QStringLiteral("The settings file \"%1\" does not exist.").arg(path)
                    : reading.problem;
            return output.error(QStringLiteral("unreadable-settings"),
                                problem + QStringLiteral(" Nothing moved."), BadInput);
        }
        fromFile = reading.settings.toVariantMap();
    }
    TurntableSession session(output);
    if (const auto status = session.find(QString::fromStdString(options.model))) {
        return *status;
    }
    if (session.modelNeedsCounts() && customCountsPerRevolution(options, fromFile) == 0) {
        return output.error(QStringLiteral("no-counts-per-revolution"),
                            QStringLiteral("%1 needs --counts-per-revolution, or a --settings "
                                           "file that gives them.")
                                .arg(session.modelName()),
                            BadInput);
    }
    LxKalveraTurntableControl& control = session.control();
    control.setCurrentTurntableIndex(static_cast<unsigned long>(session.modelIndex()));
    // Never shown and never closed through pluginUIFrameViewWillClose(): no
    // settings file is written. It goes before the controller, which
    // releases the rest of it.
    const std::unique_ptr<QQuickItem> view(control.createPluginUIFrameView());
    if (!view) {
        return output.error(QStringLiteral("no-settings-view"), control.lastError(), Failed);
    }
    ShootRun shoot(session, options, output, termination);
    if (const auto status = session.open()) {
        return *status;
    }
    if (options.countsPerRevolution) {
        control.SetCountsPerRevolution(*options.countsPerRevolution);
    }
    const ShootSettings settings = shootSettings(
        options, fromFile, {control.isMotorEnableActiveHigh(), control.isClockwiseActiveHigh()});
    if (const QString problem = customAnglesProblem(settings.customAngles); !problem.isEmpty()) {
        return output.error(QStringLiteral("bad-settings"),
                            QStringLiteral("The settings file \"%1\" cannot plan a shoot: %2.")
                                .arg(QString::fromStdString(options.settingsFile), problem),
                            BadInput);
    }
    // The open sends the view the model's settings from the event loop; the
    // shoot's come after them, or the open's would replace them.
    QCoreApplication::processEvents();
    QMetaObject::invokeMethod(view.get(), "loadSettings", Q_ARG(QVariant, settings.view));
    if (!setCustomAngles(view.get(), settings.customAngles)) {
        return output.error(QStringLiteral("no-settings-view"),
                            QStringLiteral("The settings view has no custom angles list."), Failed);
    }
    return shoot.run();
}
