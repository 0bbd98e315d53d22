#ifndef LXABSTRACTPLUGIN_H
#define LXABSTRACTPLUGIN_H

#include "KalveraTurntableSDKGlobal.h"

#include <QString>

#include <memory>
#include <mutex>
#include <string>

class QQuickItem;

// Base of every plug-in that a host photography application loads: the hooks
// the host calls, the last error text it reads after a failed operation, and
// the library's process-wide state and text helpers.
class LX_SDK_EXPORT LxAbstractPlugin {
public:
    // Per-object state, plus the process-wide members the host may reach.
    class LX_SDK_EXPORT AbstractPluginPrivate {
    public:
        // The library's one lock. Every holder takes it for a single short read
        // or write and calls nothing else meanwhile; it is not recursive.
        static std::mutex asyncMutex;
        // The host's current project directory. Only the host assigns it; the
        // library only reads it (see currentProjectDirectory()).
        static QString currentProjectDirectory;

    private:
        friend class LxAbstractPlugin;
        QString lastError;
    };

    LxAbstractPlugin();
    virtual ~LxAbstractPlugin();
    LxAbstractPlugin(const LxAbstractPlugin&) = delete;
    LxAbstractPlugin& operator=(const LxAbstractPlugin&) = delete;

    // The kind of plug-in; turntable hardware plug-ins return 2.
    virtual int pluginType() const = 0;

    // Life-cycle notices from the host. They do nothing unless overridden.
    virtual void pluginDidInitialized();
    virtual void pluginWillClose();
    virtual void applicationDidBecomeActive();
    virtual void applicationDidEnterBackground();

    // The plug-in's settings view, owned by the host; null when the plug-in has none.
    virtual QQuickItem* createPluginUIFrameView();
    // Told before the host closes the view that createPluginUIFrameView() returned.
    // Overrides end by returning this base version's result, which is true.
    virtual bool pluginUIFrameViewWillClose(QQuickItem* view);

    // The text of the most recent failure. Later successes do not clear it.
    // Throws std::system_error if asyncMutex cannot be taken.
    QString lastError() const;
    // Replaces the last error text. Throws std::system_error if asyncMutex
    // cannot be taken; the text is then unchanged.
    void setLastError(QString text);

    // A copy of the host's current project directory. Pass lock = false only
    // when the host cannot be assigning it at the same time.
    static QString currentProjectDirectory(bool lock);

    // Conversions between multibyte text in the encoding of the process's
    // LC_CTYPE locale and wide text. The result holds exactly what was
    // converted; text the locale cannot convert ends the result at that point.
    static std::wstring utf8ToWideString(const std::string& text);
    static std::string wideToUtf8String(const std::wstring& text);

    // Conversions between QString (UTF-16) and wide text (UCS-4).
    static std::wstring nativeToWideString(QString text);
    static QString wideToNativeString(const std::wstring& text);

    // The per-application local data directory (from the host's organisation
    // and application names), created with its parents if it is missing. The
    // path is returned even when it could not be created.
    static QString applicationLocalDataDirectory();

    static char pathSeparator() { return '/'; }

private:
    std::unique_ptr<AbstractPluginPrivate> d;
};

#endif
