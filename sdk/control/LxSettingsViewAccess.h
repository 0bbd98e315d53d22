#ifndef LXSETTINGSVIEWACCESS_H
#define LXSETTINGSVIEWACCESS_H

#include <QStringList>
#include <QVariantMap>

class QQuickItem;

// What the controller asks of its settings view, which the layer above makes:
// the settings a plan reads, the refresh of the device settings, the view's
// opening and close. Made with the controller's first view and kept to its
// end, so that a rotation thread never meets it half gone; the objects of a
// view exist from open() to close(). Used on the controller's thread, but for
// postRefresh().
class LxSettingsViewAccess {
public:
    virtual ~LxSettingsViewAccess() = default;

    // Makes the objects of a new view, with the settings file loaded into it;
    // those of a view still open go first. Problems with the file go to the
    // controller's last error.
    // \return the view's item, which the host owns; null when it cannot be
    // created.
    virtual QQuickItem* open() = 0;
    // Saves the view's settings to the settings file and releases the view's
    // objects (not the item). Nothing without an open view.
    virtual void close() = 0;

    // Whether a view is open and the host still has its item.
    virtual bool hasItem() const = 0;
    // The settings map the view holds now (its "saveSettings" for the model
    // `turntableIndex`); empty without a view or when it gives no map.
    virtual QVariantMap settings(unsigned long turntableIndex) const = 0;
    // The custom capture angles, in list order; empty without a view.
    virtual QStringList customAngles() const = 0;
    // Replaces the last known advanced settings of the "Custom" model, which
    // its refresh shows. Nothing without a view.
    virtual void setAdvancedSettings(const QVariantMap& advancedSettings) = 0;

    // Sends the view, queued, the model index and its device settings: the
    // "Custom" model's advanced settings for 0, the controller's counts per
    // revolution and polarities for another model, none for -1 (a move has
    // ended). Nothing without a view.
    virtual void refreshDeviceSettings(int modelIndex) = 0;
    // From any thread: hands the refresh of `modelIndex` over to the thread
    // that made this object, which gives it to the controller from its event
    // loop, in the order posted. Refreshes still on their way when this
    // object goes are dropped.
    virtual void postRefresh(int modelIndex) = 0;

    // From another thread than the view's, as the controller goes: the view's
    // objects go on their own thread, from its event loop, instead of with
    // this object.
    virtual void handOverToTheirThread() = 0;
};

#endif
