#ifndef FTDISIM_ENVIRONMENT_H
#define FTDISIM_ENVIRONMENT_H

#include <ftdisim/BusTiming.h>
#include <ftdisim/D2xxFunction.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/Export.h>
#include <ftdisim/ResetPins.h>

#include <ftd2xx.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The environment variables that set up the bus of a process the test does
// not control, such as a demo run as a subprocess. The bus reads them when it
// is first used and on every Bus::reset(); README.md describes them.
namespace ftdisim {

inline constexpr const char* kDevicesVariable = "FTDISIM_DEVICES";
inline constexpr const char* kOpenStatusVariable = "FTDISIM_OPEN_STATUS";
inline constexpr const char* kFailCallVariable = "FTDISIM_FAIL_CALL";
inline constexpr const char* kDcCountTimeVariable = "FTDISIM_DC_COUNT_MS";
inline constexpr const char* kUsbTimingVariable = "FTDISIM_USB_TIMING";
inline constexpr const char* kByteClockFactorVariable = "FTDISIM_BYTE_CLOCK_FACTOR";
inline constexpr const char* kResetPinsVariable = "FTDISIM_RESET_PINS";
// A file to which the bus appends a line at every open and close of a device.
inline constexpr const char* kReportFileVariable = "FTDISIM_REPORT_FILE";

struct DeviceListParse {
    std::vector<DeviceDescription> devices;
    // One message per entry that was skipped because it is malformed.
    std::vector<std::string> errors;
};

// Parses a FTDISIM_DEVICES value: entries separated by ';', each
// "description[,serial[,opened|noaccess]]". Blanks around fields and empty entries are
// ignored, so "" is a bus without devices.
FTDISIM_EXPORT DeviceListParse parseDeviceList(std::string_view text);

// Parses a FTDISIM_OPEN_STATUS value: a status other than FT_OK, in decimal.
// Anything else gives no status.
FTDISIM_EXPORT std::optional<FT_STATUS> parseOpenStatus(std::string_view text);

// A set-up function that fails on every device with a status, as
// Bus::setSetUpFault() sets it.
struct CallFailure {
    D2xxFunction function;
    FT_STATUS status;
};

// Parses a FTDISIM_FAIL_CALL value: "<function>:<status>", the function one of
// FT_SetBaudRate, FT_SetLatencyTimer, FT_SetBitMode and FT_Purge, the status
// as parseOpenStatus() takes it ("FT_SetBitMode:4"). Anything else gives none.
FTDISIM_EXPORT std::optional<CallFailure> parseCallFailure(std::string_view text);

// Parses a FTDISIM_DC_COUNT_MS value: a positive number of milliseconds, in
// decimal. Anything else gives no time.
FTDISIM_EXPORT std::optional<std::chrono::milliseconds> parseDcCountTime(std::string_view text);

// Parses a FTDISIM_USB_TIMING value: "ideal" (or its old name "chip-clock");
// "full-speed", optionally with the jitter in microseconds below one frame
// ("full-speed:120"); or "noisy". Anything else gives no timing.
FTDISIM_EXPORT std::optional<BusTiming> parseBusTiming(std::string_view text);

// Parses a FTDISIM_BYTE_CLOCK_FACTOR value: the bytes the chip clocks out per
// baud period, in decimal, from 1 to Bus::kMaxByteClockFactor. Anything else
// gives no factor.
FTDISIM_EXPORT std::optional<unsigned> parseByteClockFactor(std::string_view text);

// Parses a FTDISIM_RESET_PINS value: "high" (pulled up), "low" (pulled down)
// or "held". Anything else gives no setting.
FTDISIM_EXPORT std::optional<ResetPins> parseResetPins(std::string_view text);

} // namespace ftdisim

#endif
