#include "LxAbstractPlugin.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <clocale>
#include <string>
#include <thread>

namespace {

class PlainPlugin : public LxAbstractPlugin {
public:
    int pluginType() const override { return 0; }
};

// Runs a test body in a given LC_CTYPE locale and restores the previous one.
class ScopedCtypeLocale {
public:
    explicit ScopedCtypeLocale(const char* name)
        : previous(std::setlocale(LC_CTYPE, nullptr)) {
        available = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~ScopedCtypeLocale() { std::setlocale(LC_CTYPE, previous.c_str()); }
    bool available = false;

private:
    std::string previous;
};

TEST(AbstractPlugin, DefaultHooksAndLastError) {
    PlainPlugin plugin;
    EXPECT_TRUE(plugin.lastError().isEmpty());
    EXPECT_EQ(plugin.createPluginUIFrameView(), nullptr);
    EXPECT_TRUE(plugin.pluginUIFrameViewWillClose(nullptr));
    plugin.pluginDidInitialized();
    plugin.applicationDidBecomeActive();
    plugin.applicationDidEnterBackground();
    plugin.pluginWillClose();

    plugin.setLastError(QStringLiteral("first"));
    plugin.setLastError(QStringLiteral("second"));
    EXPECT_EQ(plugin.lastError(), QStringLiteral("second"));

    PlainPlugin other;
    EXPECT_TRUE(other.lastError().isEmpty()) << "each object keeps its own text";
    EXPECT_EQ(LxAbstractPlugin::pathSeparator(), '/');
}

TEST(AbstractPlugin, TheErrorCodeComesWithItsText) {
    using ErrorCode = LxAbstractPlugin::ErrorCode;
    PlainPlugin plugin;
    EXPECT_EQ(plugin.lastErrorCode(), ErrorCode::NoError);
    EXPECT_EQ(plugin.lastUsbStatus(), 0ul);

    plugin.setLastError(ErrorCode::UsbFailure, QStringLiteral("IO Error"), 4);
    EXPECT_EQ(plugin.lastError(), QStringLiteral("IO Error"));
    EXPECT_EQ(plugin.lastErrorCode(), ErrorCode::UsbFailure);
    EXPECT_EQ(plugin.lastUsbStatus(), 4ul);

    plugin.setLastError(ErrorCode::ChipChanged, QStringLiteral("changed"), 4);
    EXPECT_EQ(plugin.lastErrorCode(), ErrorCode::ChipChanged);
    EXPECT_EQ(plugin.lastUsbStatus(), 0ul) << "a status belongs to a USB failure only";

    plugin.setLastError(QStringLiteral("the host's own"));
    EXPECT_EQ(plugin.lastError(), QStringLiteral("the host's own"));
    EXPECT_EQ(plugin.lastErrorCode(), ErrorCode::Unspecified) << "no code of an earlier error";
    plugin.setLastError(QString());
    EXPECT_EQ(plugin.lastErrorCode(), ErrorCode::NoError) << "cleared by the host";
}

TEST(AbstractPlugin, LastErrorIsSafeAcrossThreads) {
    PlainPlugin plugin;
    const QString a = QStringLiteral("rotation ended on the worker");
    const QString b = QStringLiteral("opened on the host");
    using ErrorCode = LxAbstractPlugin::ErrorCode;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            if (i % 2) {
                plugin.setLastError(ErrorCode::ChipLost, a);
            } else {
                plugin.setLastError(ErrorCode::UsbFailure, b, 4);
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const QString seen = plugin.lastError();
        ASSERT_TRUE(seen.isEmpty() || seen == a || seen == b) << seen.toStdString();
        // Code, text and status of one failure, never of two.
        const LxAbstractPlugin::LastError record = plugin.lastErrorRecord();
        ASSERT_TRUE(
            (record.code == ErrorCode::NoError && record.text.isEmpty()) ||
            (record.code == ErrorCode::ChipLost && record.text == a && record.usbStatus == 0) ||
            (record.code == ErrorCode::UsbFailure && record.text == b && record.usbStatus == 4))
            << record.text.toStdString();
    }
    writer.join();
    EXPECT_EQ(plugin.lastError(), a);
}

TEST(AbstractPlugin, CurrentProjectDirectoryIsWhatTheHostAssigned) {
    EXPECT_TRUE(LxAbstractPlugin::currentProjectDirectory(true).isEmpty());
    EXPECT_TRUE(LxAbstractPlugin::currentProjectDirectory(false).isEmpty());
    LxAbstractPlugin::AbstractPluginPrivate::currentProjectDirectory =
        QStringLiteral("/shoots/vase");
    EXPECT_EQ(LxAbstractPlugin::currentProjectDirectory(true), QStringLiteral("/shoots/vase"));
    EXPECT_EQ(LxAbstractPlugin::currentProjectDirectory(false), QStringLiteral("/shoots/vase"));
    LxAbstractPlugin::AbstractPluginPrivate::currentProjectDirectory.clear();
}

TEST(AbstractPlugin, QStringConversionsKeepCharactersOutsideTheBasicPlane) {
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    ASSERT_EQ(clef.size(), 2) << "a surrogate pair in UTF-16";
    const std::wstring wide = LxAbstractPlugin::nativeToWideString(clef);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(static_cast<char32_t>(wide[0]), U'\U0001D11E');
    EXPECT_EQ(LxAbstractPlugin::wideToNativeString(wide), clef);

    const QString mixed = QStringLiteral("Turntable ") + clef + QStringLiteral(" \u00e9");
    EXPECT_EQ(LxAbstractPlugin::wideToNativeString(LxAbstractPlugin::nativeToWideString(mixed)),
              mixed);
}

TEST(AbstractPlugin, MultibyteConversionsAreSizedByWhatWasConverted) {
    ScopedCtypeLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.available) << "C.UTF-8 is part of every Debian system";

    const std::string narrow = "Dreh\xc3\xbc\x62\xc3\xbchne \xe2\x86\xbb \xf0\x9f\x93\xb7";
    const std::wstring wide = LxAbstractPlugin::utf8ToWideString(narrow);
    EXPECT_EQ(wide, std::wstring(L"Dreh\u00fcb\u00fchne \u21bb \U0001F4F7"));
    EXPECT_EQ(wide.find(L'\0'), std::wstring::npos) << "no trailing zero characters";

    const std::string back = LxAbstractPlugin::wideToUtf8String(wide);
    EXPECT_EQ(back, narrow) << "non-ASCII text is not truncated";

    EXPECT_EQ(LxAbstractPlugin::utf8ToWideString("plain"), L"plain");
    EXPECT_EQ(LxAbstractPlugin::wideToUtf8String(L"plain"), "plain");
    EXPECT_TRUE(LxAbstractPlugin::utf8ToWideString("").empty());
    EXPECT_TRUE(LxAbstractPlugin::wideToUtf8String(L"").empty());
}

TEST(AbstractPlugin, MultibyteConversionsStopAtTextTheLocaleCannotConvert) {
    {
        ScopedCtypeLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.available);
        EXPECT_EQ(LxAbstractPlugin::utf8ToWideString("ok\xff\xfe rest"), L"ok");
    }
    ScopedCtypeLocale ascii("C");
    ASSERT_TRUE(ascii.available);
    EXPECT_EQ(LxAbstractPlugin::wideToUtf8String(L"abc\u00e9def"), "abc");
}

TEST(AbstractPlugin, DataDirectoryIsCreatedWithItsParents) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    const QString dataHome = root.path() + QStringLiteral("/not/yet/there");
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());

    const QString path = LxAbstractPlugin::applicationLocalDataDirectory();
    EXPECT_TRUE(path.startsWith(dataHome)) << path.toStdString();
    EXPECT_TRUE(QDir(path).exists());
    EXPECT_EQ(LxAbstractPlugin::applicationLocalDataDirectory(), path);

    if (previous.isNull()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", previous);
    }
}

} // namespace
