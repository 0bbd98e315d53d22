#ifndef LXSETTINGSVIEW_H
#define LXSETTINGSVIEW_H

#include "LxSettingsViewAccess.h"

#include <functional>
#include <memory>

class LxKalveraTurntableControl;
class LxThreadMailbox;

// A controller's settings view: the item made from the host's
// "qrc:/qml/LxTurntableUIFrameView.qml" in a QML context of its own, the
// objects published to it there, the settings file loaded into it at its
// opening and saved from it at its close, and the refreshes of its device
// settings.
class LxSettingsView : public LxSettingsViewAccess {
public:
    // The view of `control`, which outlives it. Refreshes posted from other
    // threads reach `receiveRefresh` from the making thread's event loop,
    // which the making thread needs. The view's commands reach the controller
    // through `gateKeeper`, which runs them only while the controller lives:
    // a view whose controller went on another thread goes later, on its own.
    LxSettingsView(LxKalveraTurntableControl& control, std::function<void(int)> receiveRefresh,
                   std::function<bool(const std::function<void()>&)> gateKeeper);
    // The objects of a view still open go with it, unless handed over.
    ~LxSettingsView() override;
    LxSettingsView(const LxSettingsView&) = delete;
    LxSettingsView& operator=(const LxSettingsView&) = delete;

    QQuickItem* open() override;
    void close() override;

    bool hasItem() const override;
    QVariantMap settings(unsigned long turntableIndex) const override;
    QStringList customAngles() const override;
    void setAdvancedSettings(const QVariantMap& advancedSettings) override;

    void refreshDeviceSettings(int modelIndex) override;
    void postRefresh(int modelIndex) override;

    void handOverToTheirThread() override;

private:
    class ViewObjects;

    void loadSettingsFile();
    void saveSettingsFile();

    LxKalveraTurntableControl& control;
    // While a view is open.
    std::unique_ptr<ViewObjects> view;
    std::unique_ptr<LxThreadMailbox> refreshes;
    std::function<bool(const std::function<void()>&)> gateKeeper;
};

#endif
