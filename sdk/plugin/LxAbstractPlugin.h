#ifndef LXABSTRACTPLUGIN_H
#define LXABSTRACTPLUGIN_H

#include "KalveraTurntableSDKGlobal.h"

#include <QString>

#include <memory>
#include <mutex>
#include <string>

class QQuickItem;

/// Base of every plug-in that a host photography application loads.
///
/// It holds the hooks the host calls, the last error the host reads after an
/// operation has reported failure (a text for the user and a code for the
/// program), and the library's process-wide state and text helpers. The
/// last error is how the library explains a failure; it writes no console
/// output of its own, and logs only through the Qt logging categories
/// "kalvera.turntable.*", which a host routes or silences as any other.
class LX_SDK_EXPORT LxAbstractPlugin {
public:
    /// What the last error is about: one value per condition the SDK reports.
    /// It is set together with the text of lastError(); a host branches on it
    /// instead of on the text, which may be translated. The values stay fixed.
    enum class ErrorCode {
        /// Nothing has failed yet, or the host cleared the text.
        NoError = 0,
        /// A text set through setLastError(QString) alone.
        Unspecified = 1,
        /// The call after the last capture of a sequence: "360 product
        /// photography completed.".
        SequenceCompleted = 2,
        /// The search found no turntable chip.
        DeviceNotFound = 3,
        /// The chip is attached but open elsewhere, or this user may not open it.
        ChipUnopenable = 4,
        /// KALVERA_TURNTABLE_BACKEND names no USB backend.
        UnknownBackend = 5,
        /// The chosen USB backend's library cannot be loaded.
        BackendNotLoadable = 6,
        /// An open without a chip found by the search.
        NoDeviceToOpen = 7,
        /// Another chip, or none, is listed where the search found the
        /// turntable's: nothing was opened.
        ChipChanged = 8,
        /// A call of the USB driver failed while opening; its D2XX status is
        /// lastUsbStatus().
        UsbFailure = 9,
        /// Called on another thread than the one the controller serves, or
        /// inside a turntable notice.
        WrongThread = 10,
        /// The turntable stopped answering during a move (it was unplugged).
        ChipLost = 11,
        /// A shoot was planned without the settings view open.
        ViewNotOpen = 12,
        /// A shoot was planned without an open device.
        DeviceNotOpen = 13,
        /// Refused while a move runs.
        TurntableTurning = 14,
        /// Refused while a shoot runs.
        ShootRunning = 15,
        /// The number of frames is no whole number from 1 to 65535.
        InvalidFrameCount = 16,
        /// A custom-angle shoot with an empty angles list.
        InvalidCustomAngles = 17,
        /// Custom angles on the "Standard" model, which has none.
        CustomAnglesUnsupported = 18,
        /// More custom angles than a shoot takes captures.
        TooManyCustomAngles = 19,
        /// The open device has no counts per revolution.
        CountsPerRevolutionNotSet = 20,
        /// The settings file could not be read (kept aside, or left as it is).
        SettingsFileUnreadable = 21,
        /// The settings could not be saved to the settings file.
        SettingsNotSaved = 22,
        /// A turntable model index that names no model: nothing was selected,
        /// opened or closed.
        InvalidModelIndex = 23,
        /// The host's resources have no settings view: it links neither the
        /// SDK's (KalveraTurntableSDK::SettingsView, on Qt 6
        /// KalveraTurntableSDKQt6::SettingsView) nor one of its own.
        SettingsViewMissing = 24,
        /// A read of the open chip's pins failed.
        PinReadFailed = 25,
        /// Capture angles planned from code that do not rise strictly from 0
        /// to below 360 degrees.
        CaptureAnglesOutOfOrder = 26
    };

    /// Per-object state, plus the process-wide members the host may reach.
    class LX_SDK_EXPORT AbstractPluginPrivate {
    public:
        /// The library's one lock. Every holder takes it for a single short read
        /// or write and calls nothing else meanwhile. It is not recursive: a host
        /// that takes it must call nothing of the library while it holds it.
        static std::mutex asyncMutex;
        /// The host's current project directory, empty until the host assigns
        /// it. Only the host assigns it, by plain assignment; the library only
        /// reads it (see LxAbstractPlugin::currentProjectDirectory()).
        static QString currentProjectDirectory;

    private:
        friend class LxAbstractPlugin;
        QString lastError;
        ErrorCode lastErrorCode = ErrorCode::NoError;
        unsigned long lastUsbStatus = 0;
    };

    /// A plug-in with an empty last error and ErrorCode::NoError.
    LxAbstractPlugin();
    /// Releases the plug-in's own state.
    virtual ~LxAbstractPlugin();
    /// Not copyable: a plug-in is one object the host holds.
    LxAbstractPlugin(const LxAbstractPlugin&) = delete;
    /// Not copyable: a plug-in is one object the host holds.
    LxAbstractPlugin& operator=(const LxAbstractPlugin&) = delete;

    /// The kind of plug-in: turntable hardware plug-ins return 2
    /// (LxTurntableHardware::TurntableHardwarePluginType).
    virtual int pluginType() const = 0;

    /// Life-cycle notice: the host has loaded the plug-in. The host may call it
    /// at any time; it does nothing unless overridden.
    virtual void pluginDidInitialized();
    /// Life-cycle notice: the host is about to unload the plug-in. Does nothing
    /// unless overridden.
    virtual void pluginWillClose();
    /// Life-cycle notice: the host application came to the foreground. Does
    /// nothing unless overridden.
    virtual void applicationDidBecomeActive();
    /// Life-cycle notice: the host application went to the background. Does
    /// nothing unless overridden.
    virtual void applicationDidEnterBackground();

    /// The plug-in's settings view.
    /// \return the item to show, owned by the host; null when the plug-in has
    /// none (this base version) or the view cannot be made.
    virtual QQuickItem* createPluginUIFrameView();
    /// Told before the host closes the view that createPluginUIFrameView()
    /// returned. Overrides end by returning this base version's result.
    /// \return true.
    virtual bool pluginUIFrameViewWillClose(QQuickItem* view);

    /// The text of the most recent failure of an operation of this object.
    /// Later successes do not clear it.
    /// \return a copy of the text; empty while nothing has failed.
    /// \throws std::system_error if asyncMutex cannot be taken.
    QString lastError() const;
    /// The code of the failure whose text lastError() holds; like the text,
    /// later successes do not clear it.
    /// \return ErrorCode::NoError while nothing has failed.
    /// \throws std::system_error if asyncMutex cannot be taken.
    ErrorCode lastErrorCode() const;
    /// The D2XX status (FT_STATUS) of the USB driver's call that failed, when
    /// lastErrorCode() is ErrorCode::UsbFailure; 0 (FT_OK) for other codes.
    /// \throws std::system_error if asyncMutex cannot be taken.
    unsigned long lastUsbStatus() const;
    /// The last error whole, as one setLastError() left it.
    struct LastError {
        /// As lastErrorCode().
        ErrorCode code = ErrorCode::NoError;
        /// As lastError().
        QString text;
        /// As lastUsbStatus().
        unsigned long usbStatus = 0;
    };
    /// The code, text and USB status of the last error, read in one step: a
    /// host that reads them on another thread than the one that may fail
    /// meanwhile reads them here, where they cannot come from two failures.
    /// \throws std::system_error if asyncMutex cannot be taken.
    LastError lastErrorRecord() const;
    /// Replaces the last error text; the code becomes ErrorCode::Unspecified,
    /// or ErrorCode::NoError for an empty text.
    /// \throws std::system_error if asyncMutex cannot be taken; the last error
    /// is then unchanged.
    void setLastError(QString text);
    /// Replaces the last error's code and text, and the USB status (0 unless
    /// `code` is ErrorCode::UsbFailure), in one step: lastErrorRecord() on
    /// another thread gives the old error or the new one, never a mix.
    /// \throws std::system_error if asyncMutex cannot be taken; the last error
    /// is then unchanged.
    void setLastError(ErrorCode code, QString text, unsigned long usbStatus = 0);

    /// A copy of the host's current project directory (empty until the host
    /// assigns AbstractPluginPrivate::currentProjectDirectory).
    /// \param lock true to take asyncMutex for the copy; false only when the
    /// host cannot be assigning it at the same time.
    /// \throws std::system_error if `lock` is true and asyncMutex cannot be taken.
    static QString currentProjectDirectory(bool lock);

    /// Multibyte text in the encoding of the process's LC_CTYPE locale to wide
    /// text. The result holds exactly what was converted: text the locale
    /// cannot convert ends the result at that point. Reports no error.
    static std::wstring utf8ToWideString(const std::string& text);
    /// Wide text to multibyte text in the encoding of the process's LC_CTYPE
    /// locale. The result holds exactly what was converted: a character the
    /// locale cannot convert ends the result at that point. Reports no error.
    static std::string wideToUtf8String(const std::wstring& text);

    /// QString (UTF-16) to wide text (UCS-4): a surrogate pair becomes one
    /// character.
    static std::wstring nativeToWideString(QString text);
    /// Wide text (UCS-4) to QString (UTF-16).
    static QString wideToNativeString(const std::wstring& text);

    /// The per-application local data directory, which Qt derives from the
    /// host's organisation and application names; the settings file lives in
    /// it. Creates the directory with its parents if it is missing.
    /// \return the path, also when the directory could not be created.
    static QString applicationLocalDataDirectory();

    /// The separator of the library's file paths: always '/'.
    static char pathSeparator() { return '/'; }

private:
    std::unique_ptr<AbstractPluginPrivate> d;
};

#endif
