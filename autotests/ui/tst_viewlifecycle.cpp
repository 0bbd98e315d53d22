// The settings view from its creation to its close: what it is given, and
// what is left of it afterwards.
#include "LxCustomAnglesModel.h"
#include "LxGlobalQmlEngine.h"
#include "LxTurntableModels.h"

#include "ViewTest.h"

#include <ftdisim/Bus.h>

#include <QPointer>
#include <QQmlContext>
#include <QQmlEngine>

#include <thread>

namespace {

using ViewLifecycle = ViewTest;

const QStringList allProperties{
    "KalveraTurntableFramesCountModel", "KalveraTurntableCustomAnglesModel",
    "KalveraTurntableStandardDevicesModel", "KalveraTurntableQmlControl"};

int customAnglesModelsAlive() {
    return globalQmlEngine()->findChildren<LxCustomAnglesModel*>().size();
}

TEST_F(ViewLifecycle, TheViewSeesItsContextPropertiesInTurn) {
    writeSettingsFile(R"({"CustomAnglesList": ["45"]})");
    ASSERT_NE(openView(), nullptr);
    EXPECT_EQ(
        contextProperty("KalveraTurntableFramesCountModel").toStringList(),
        (QStringList{"8", "12", "24", "30", "36", "48", "72", "90", "120", "180", "240", "360"}));
    EXPECT_EQ(item->property("framesCountRows"), 12);
    QStringList allButCustom;
    for (std::size_t model = CUSTOM_MODEL_INDEX + 1; model < turntableModels.size(); ++model) {
        allButCustom << QString::fromLatin1(turntableModels[model].name);
    }
    EXPECT_EQ(contextProperty("KalveraTurntableStandardDevicesModel").toStringList(), allButCustom);
    EXPECT_EQ(item->property("standardDeviceRows"), 7);

    // The control object comes last, after the settings have been loaded.
    const QStringList withoutControl = allProperties.mid(0, 3);
    EXPECT_EQ(item->property("propertiesAtCreation").toStringList(), withoutControl);
    EXPECT_EQ(item->property("propertiesAtLoad").toStringList(), withoutControl);
    EXPECT_EQ(recorded("anglesModelPublications"), (QVariantList{0, 1}))
        << "published again once the file's angles are in";
    EXPECT_EQ(item->property("anglesModel").value<QObject*>(),
              contextObject("KalveraTurntableCustomAnglesModel"));
    QObject* qmlControl = contextObject("KalveraTurntableQmlControl");
    ASSERT_NE(qmlControl, nullptr);
    EXPECT_EQ(qmlControl->parent(), item.get());
    EXPECT_EQ(qmlEngine(item.get()), globalQmlEngine());
}

TEST_F(ViewLifecycle, WithoutAChipThereAreNoStandardDevices) {
    ftdisim::Bus::instance().clear();
    ASSERT_NE(openView(), nullptr);
    EXPECT_TRUE(contextProperty("KalveraTurntableStandardDevicesModel").toStringList().isEmpty());
    EXPECT_EQ(item->property("standardDeviceRows"), 0);
    EXPECT_TRUE(control->lastError().startsWith("The turntable device cannot be found."));
    EXPECT_EQ(control->lastErrorCode(), LxAbstractPlugin::ErrorCode::DeviceNotFound);
}

TEST_F(ViewLifecycle, ClosingReleasesTheViewObjectsButNotTheItem) {
    ASSERT_NE(openView(), nullptr);
    const QPointer<QObject> qmlControl = contextObject("KalveraTurntableQmlControl");
    const QPointer<QObject> anglesModel = contextObject("KalveraTurntableCustomAnglesModel");
    const QPointer<QQmlContext> context = QQmlEngine::contextForObject(item.get())->parentContext();
    ASSERT_FALSE(qmlControl.isNull());
    ASSERT_FALSE(anglesModel.isNull());
    ASSERT_FALSE(context.isNull());
    EXPECT_EQ(context->parentContext(), globalQmlEngine()->rootContext());

    const QPointer<QQuickItem> view = item.get();
    EXPECT_TRUE(closeView());
    EXPECT_TRUE(qmlControl.isNull());
    EXPECT_TRUE(anglesModel.isNull());
    EXPECT_TRUE(context.isNull());
    processPendingEvents();
    EXPECT_FALSE(view.isNull()) << "the item stays the host's";

    // Without a view the plan has no settings to read.
    unsigned short count = 0;
    float* angles = nullptr;
    EXPECT_FALSE(control->complete360ProductPhotographyWillStart(&count, &angles));
}

TEST_F(ViewLifecycle, RepeatedViewsLeaveNothingBehind) {
    const int modelsBefore = customAnglesModelsAlive();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NE(openView(), nullptr);
        EXPECT_EQ(recorded("loadCalls").size(), round == 0 ? 0 : 1) << "the file is read each time";
        EXPECT_EQ(customAnglesModelsAlive(), modelsBefore + 1);
        EXPECT_EQ(qmlEngine(item.get()), globalQmlEngine());
        callView("appendAngle", {QString::number(10 * (round + 1))});
        closeView();
        EXPECT_EQ(saveCalls.turntableIndices.size(), 1) << "and written each time";
        EXPECT_EQ(customAnglesModelsAlive(), modelsBefore);
    }
    openView();
    EXPECT_EQ(qobject_cast<QStringListModel*>(contextObject("KalveraTurntableCustomAnglesModel"))
                  ->stringList(),
              (QStringList{"10", "20", "30"}))
        << "each view read what the one before wrote";
}

TEST_F(ViewLifecycle, ASecondViewReplacesOneLeftOpen) {
    const int modelsBefore = customAnglesModelsAlive();
    openView();
    const QPointer<QObject> firstControl = contextObject("KalveraTurntableQmlControl");
    const std::unique_ptr<QQuickItem> firstItem = std::move(item);

    ASSERT_NE(openView(), nullptr);
    EXPECT_TRUE(firstControl.isNull());
    EXPECT_EQ(customAnglesModelsAlive(), modelsBefore + 1);
    ASSERT_TRUE(openDevice(3));
    ASSERT_TRUE(processEventsUntil([this] { return !recorded("deviceUpdates").isEmpty(); }));
    EXPECT_EQ(recorded("deviceUpdates")[0].toMap()["modelIndex"], 3) << "the new view is served";
}

TEST_F(ViewLifecycle, DestroyingTheControllerReleasesAnOpenView) {
    const int modelsBefore = customAnglesModelsAlive();
    openView();
    const QPointer<QObject> qmlControl = contextObject("KalveraTurntableQmlControl");
    control.reset();
    viewOpen = false;
    EXPECT_TRUE(qmlControl.isNull());
    EXPECT_EQ(customAnglesModelsAlive(), modelsBefore);
}

// A host that lets its controller go on a worker thread with the view still
// open: the view's objects go later, from their own thread's event loop, and
// until then what the view asks (the shipped view polls every 200 ms) does
// nothing.
TEST_F(ViewLifecycle, AViewOutlivingItsControllerAsksNothingOfIt) {
    openView();
    ASSERT_TRUE(openDevice(0));
    const QPointer<QObject> qmlControl = contextObject("KalveraTurntableQmlControl");
    std::thread([owned = std::move(control)]() mutable { owned.reset(); }).join();
    viewOpen = false;
    ASSERT_FALSE(qmlControl.isNull()) << "not yet gone";
    bool answer = true;
    QMetaObject::invokeMethod(qmlControl, "isShootRunning", Q_RETURN_ARG(bool, answer));
    EXPECT_FALSE(answer);
    answer = true;
    QMetaObject::invokeMethod(qmlControl, "startRotationPreview", Q_RETURN_ARG(bool, answer),
                              Q_ARG(int, 90), Q_ARG(bool, false));
    EXPECT_FALSE(answer);
    processPendingEvents();
    EXPECT_TRUE(qmlControl.isNull());
}

TEST_F(ViewLifecycle, AnItemDisposedOfBeforeTheCloseGivesNoSettings) {
    writeSettingsFile(R"({"framesCountText": "72"})");
    openView();
    const QPointer<QObject> anglesModel = contextObject("KalveraTurntableCustomAnglesModel");
    QQuickItem* disposed = item.get();
    item.reset();
    EXPECT_TRUE(control->pluginUIFrameViewWillClose(disposed));
    viewOpen = false;
    EXPECT_TRUE(anglesModel.isNull());
    EXPECT_EQ(readSettingsFile(), R"({"framesCountText": "72"})");
}

} // namespace
