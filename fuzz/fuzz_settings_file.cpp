// Fuzz target: any bytes as the settings file "KalveraTurntable.json", through
// the path a host takes: the view is created (which loads the file into the
// view and the custom angles model), a shoot is planned and the preview's
// settings are taken over from what the view was loaded with, and the view
// is closed, which writes the file again. Beyond the sanitizers it checks
// that a plan's angles end with the whole turn and match the count, that
// what the close wrote is a settings object again, and that a file without a
// settings object was kept aside byte for byte.
#include "LxD2xxBackend.h"
#include "LxKalveraTurntableControl.h"

#include <ftdisim/Bus.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QQuickItem>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

struct Host {
    QTemporaryDir dataHome;
    std::unique_ptr<QGuiApplication> application;
    std::unique_ptr<LxKalveraTurntableControl> control;
};

Host* host = nullptr;

void writeFile(const QString& path, const std::uint8_t* data, std::size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        fail("cannot write the settings file");
    }
}

// The plan's promise: in custom mode the angles end with the whole turn and
// there are as many as the count says.
void checkPlan(unsigned short count, const float* angles) {
    if (!angles) {
        return;
    }
    if (count == 0 || angles[count - 1] != 360.0f) {
        fail("a custom-angle plan that does not close with a whole turn");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Most inputs are no settings object: a warning each would drown the
    // fuzzer's own output.
    QLoggingCategory::setFilterRules(QStringLiteral("kalvera.turntable.settings.warning=false"));
    host = new Host;
    qputenv("XDG_DATA_HOME", QFile::encodeName(host->dataHome.path()));
    host->application = std::make_unique<QGuiApplication>(*argc, *argv);
    QCoreApplication::setOrganizationName(QStringLiteral("KalveraFuzz"));
    QCoreApplication::setApplicationName(QStringLiteral("KalveraSettingsFuzz"));
    LxD2xxBackend::choose("simulator");
    ftdisim::Bus::instance().reset();
    host->control = std::make_unique<LxKalveraTurntableControl>();
    host->control->availableDevices();
    // "Custom": the file's advanced settings apply to it.
    host->control->setCurrentTurntableIndex(0);
    bool opened = false;
    host->control->openDevice(0, &opened);
    if (!opened) {
        fail("cannot open the simulated turntable");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LxKalveraTurntableControl& control = *host->control;
    const QString path = QDir(LxAbstractPlugin::applicationLocalDataDirectory())
                             .absoluteFilePath(QStringLiteral("KalveraTurntable.json"));
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    writeFile(path, data, size);
    const bool wasObject = QJsonDocument::fromJson(input).isObject();

    std::unique_ptr<QQuickItem> item(control.createPluginUIFrameView());
    if (!item) {
        fail("no view");
    }
    unsigned short count = 0;
    float* angles = nullptr;
    if (control.complete360ProductPhotographyWillStart(&count, &angles)) {
        checkPlan(count, angles);
    }
    control.saveUISettingsInternalUse();
    control.pluginUIFrameViewWillClose(item.get());
    item.reset();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QFile kept(path + QStringLiteral(".unreadable"));
    if (!wasObject) {
        if (!kept.open(QIODevice::ReadOnly) || kept.readAll() != input) {
            fail("a file without settings was not kept aside whole");
        }
        // The next input's kept file takes the same name again.
        kept.remove();
        return 0;
    }
    if (kept.exists()) {
        fail("a settings object was kept aside");
    }
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly)) {
        fail("the settings file is gone after the close");
    }
    if (!QJsonDocument::fromJson(written.readAll()).isObject()) {
        fail("settings loaded from an object were saved as something else");
    }
    return 0;
}
