// A host whose resources lack the view's QML file: built without the test
// view, so the view item cannot be made.
#include "LxCustomAnglesModel.h"
#include "LxGlobalQmlEngine.h"

#include "LogCapture.h"
#include "ViewTest.h"

#include <QPointer>
#include <QQmlEngine>

namespace {

using ViewWithoutQml = ViewTest;

TEST_F(ViewWithoutQml, TheHostGetsNoItemAndTheCloseStillReleasesEverything) {
    const QByteArray file = R"({"CustomAnglesList": ["45", "90"],
        "customTurntableAdvancedSettings": {"stepsPerRevolutionText": "400"}})";
    writeSettingsFile(file);
    const QList<LxCustomAnglesModel*> modelsBefore =
        globalQmlEngine()->findChildren<LxCustomAnglesModel*>();

    const LogCapture log("kalvera.turntable.settings");
    EXPECT_EQ(openView(), nullptr);
    // The host hears which target would have brought the view, under the
    // name its own build uses.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString target = QStringLiteral("link the target KalveraTurntableSDKQt6::SettingsView");
#else
    const QString target = QStringLiteral("link the target KalveraTurntableSDK::SettingsView");
#endif
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::SettingsViewMissing);
    EXPECT_TRUE(control->lastError().contains(target)) << control->lastError().toStdString();
    EXPECT_EQ(log.warnings(), QStringList{control->lastError()});
    QList<LxCustomAnglesModel*> models = globalQmlEngine()->findChildren<LxCustomAnglesModel*>();
    for (LxCustomAnglesModel* earlier : modelsBefore) {
        models.removeOne(earlier);
    }
    ASSERT_EQ(models.size(), 1);
    const QPointer<LxCustomAnglesModel> anglesModel = models.first();
    EXPECT_EQ(anglesModel->stringList(), (QStringList{"45", "90"})) << "the file is still read";

    // A refresh and a plan have no view to reach.
    ASSERT_TRUE(openDevice(0));
    processPendingEvents();
    unsigned short count = 0;
    float* angles = nullptr;
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
    EXPECT_EQ(control->lastError(), "The turntable settings view must be open to plan a shoot.");
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::ViewNotOpen);

    EXPECT_TRUE(closeView());
    EXPECT_TRUE(anglesModel.isNull());
    EXPECT_EQ(readSettingsFile(), file) << "no view, no settings to save";
}

} // namespace
