#include "LxAbstractPlugin.h"

#include <QDir>
#include <QStandardPaths>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

std::mutex LxAbstractPlugin::AbstractPluginPrivate::asyncMutex;
QString LxAbstractPlugin::AbstractPluginPrivate::currentProjectDirectory;

LxAbstractPlugin::LxAbstractPlugin()
    : d(std::make_unique<AbstractPluginPrivate>()) {}

LxAbstractPlugin::~LxAbstractPlugin() = default;

void LxAbstractPlugin::pluginDidInitialized() {}

void LxAbstractPlugin::pluginWillClose() {}

void LxAbstractPlugin::applicationDidBecomeActive() {}

void LxAbstractPlugin::applicationDidEnterBackground() {}

QQuickItem* LxAbstractPlugin::createPluginUIFrameView() {
    return nullptr;
}

bool LxAbstractPlugin::pluginUIFrameViewWillClose(QQuickItem*) {
    return true;
}

QString LxAbstractPlugin::lastError() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return d->lastError;
}

LxAbstractPlugin::ErrorCode LxAbstractPlugin::lastErrorCode() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return d->lastErrorCode;
}

unsigned long LxAbstractPlugin::lastUsbStatus() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return d->lastUsbStatus;
}

LxAbstractPlugin::LastError LxAbstractPlugin::lastErrorRecord() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return {d->lastErrorCode, d->lastError, d->lastUsbStatus};
}

void LxAbstractPlugin::setLastError(QString text) {
    const ErrorCode code = text.isEmpty() ? ErrorCode::NoError : ErrorCode::Unspecified;
    setLastError(code, std::move(text));
}

void LxAbstractPlugin::setLastError(ErrorCode code, QString text, unsigned long usbStatus) {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    d->lastError.swap(text);
    d->lastErrorCode = code;
    d->lastUsbStatus = code == ErrorCode::UsbFailure ? usbStatus : 0;
    // The previous text is released by `text` after the lock is gone.
}

QString LxAbstractPlugin::currentProjectDirectory(bool lock) {
    if (!lock) {
        return AbstractPluginPrivate::currentProjectDirectory;
    }
    std::lock_guard<std::mutex> guard(AbstractPluginPrivate::asyncMutex);
    return AbstractPluginPrivate::currentProjectDirectory;
}

std::wstring LxAbstractPlugin::utf8ToWideString(const std::string& text) {
    // A multibyte sequence never yields more wide characters than it has bytes.
    std::vector<wchar_t> buffer(text.size() + 1, L'\0');
    const std::size_t converted = std::mbstowcs(buffer.data(), text.c_str(), text.size());
    // On an invalid sequence the characters before it have been written.
    const std::size_t length =
        converted == static_cast<std::size_t>(-1) ? std::wcslen(buffer.data()) : converted;
    return std::wstring(buffer.data(), length);
}

std::string LxAbstractPlugin::wideToUtf8String(const std::wstring& text) {
    const std::size_t capacity = text.size() * MB_LEN_MAX;
    std::vector<char> buffer(capacity + 1, '\0');
    const std::size_t converted = std::wcstombs(buffer.data(), text.c_str(), capacity);
    const std::size_t length =
        converted == static_cast<std::size_t>(-1) ? std::strlen(buffer.data()) : converted;
    return std::string(buffer.data(), length);
}

std::wstring LxAbstractPlugin::nativeToWideString(QString text) {
    return text.toStdWString();
}

QString LxAbstractPlugin::wideToNativeString(const std::wstring& text) {
    return QString::fromStdWString(text);
}

QString LxAbstractPlugin::applicationLocalDataDirectory() {
    const QDir directory(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    if (!directory.exists()) {
        directory.mkpath(directory.path());
    }
    return directory.path();
}
