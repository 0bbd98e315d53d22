// A settings view as a host writes one: it shows what it was loaded with and
// hands the same settings back when asked, so that the loaded file reaches
// the plan and the next save.
import QtQuick 2.0

Item {
    property var settings

    function loadSettings(loaded) { settings = loaded; }
    function saveSettings(turntableIndex) { return settings; }
    function updateDeviceSettingsUI(modelIndex, deviceSettings) {}
}
