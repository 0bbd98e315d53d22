// Test main: GoogleTest under a Qt application object, so that tests can use
// timers, queued calls and (for the GUI tests) QML on the offscreen platform.
#include <gmock/gmock.h>

#include <cstdlib>

#ifdef KALVERA_TEST_GUI
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    // The simulated bus unless the run names a backend; through the
    // environment, so that the programs a test starts use it too.
    setenv("KALVERA_TURNTABLE_BACKEND", "simulator", 0);
#ifdef KALVERA_TEST_GUI
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    ::testing::InitGoogleMock(&argc, argv);
    TestApplication app(argc, argv);
    TestApplication::setOrganizationName(QStringLiteral("KalveraTests"));
    TestApplication::setApplicationName(QStringLiteral("KalveraTurntableSDKTests"));
    return RUN_ALL_TESTS();
}
