#ifndef UIFRAMEVIEWOBJECTS_H
#define UIFRAMEVIEWOBJECTS_H

#include <QPointer>
#include <QVariantMap>

class QQmlContext;
class QQuickItem;
class LxCustomAnglesModel;
class LxQmlTurntableControl;

// The objects of one settings view, from its creation to its close. The
// record owns the context, the custom angles model and the control object and
// releases them when it goes; the view's root item stays the host's.
// Used on the view's thread only.
class UIFrameViewObjects {
public:
    UIFrameViewObjects() = default;
    ~UIFrameViewObjects();
    UIFrameViewObjects(const UIFrameViewObjects&) = delete;
    UIFrameViewObjects& operator=(const UIFrameViewObjects&) = delete;

    // The settings map the view holds now (its "saveSettings" for the model
    // `turntableIndex`); empty without a view or when it gives no map.
    QVariantMap viewSettings(unsigned long turntableIndex) const;
    // The custom capture angles, in list order.
    QStringList customAngles() const;
    // From another thread than the view's: the objects go on their own
    // thread, from its event loop, instead of with this record.
    void handOverToTheirThread();

    QQmlContext* context = nullptr;
    // Guarded: the host may dispose of the item before it closes the view.
    QPointer<QQuickItem> frameView;
    QPointer<LxQmlTurntableControl> qmlControl;
    QPointer<LxCustomAnglesModel> customAnglesModel;
    // The last known advanced settings of the "Custom" model.
    QVariantMap advancedSettings;
    // False when the settings file could not be read nor moved aside: the
    // close leaves it as it is rather than lose it.
    bool settingsFileWritable = true;
};

#endif
