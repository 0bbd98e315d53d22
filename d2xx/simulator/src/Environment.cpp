#include <ftdisim/Environment.h>

#include <ftdisim/Bus.h>

#include <charconv>
#include <cstdint>
#include <utility>

namespace ftdisim {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kOpenedFlag = "opened";
constexpr std::string_view kNoAccessFlag = "noaccess";
constexpr std::size_t kMaxFields = 3;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t end = text.find(separator); end != std::string_view::npos;
         end = text.find(separator, start)) {
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// The device an entry describes, or why it does not describe one.
std::pair<std::optional<DeviceDescription>, std::string> parseEntry(std::string_view entry) {
    const std::vector<std::string_view> fields = split(entry, ',');
    if (fields.size() > kMaxFields) {
        return {std::nullopt, "more fields than description, serial and a flag"};
    }
    DeviceDescription device;
    device.description = trimmed(fields[0]);
    if (device.description.empty()) {
        return {std::nullopt, "no description"};
    }
    if (fields.size() > 1) {
        device.serialNumber = trimmed(fields[1]);
    }
    if (fields.size() > 2) {
        const std::string_view flag = trimmed(fields[2]);
        if (!flag.empty() && flag != kOpenedFlag && flag != kNoAccessFlag) {
            return {std::nullopt, "third field is neither 'opened' nor 'noaccess'"};
        }
        device.openedElsewhere = flag == kOpenedFlag;
        device.userMayNotOpen = flag == kNoAccessFlag;
    }
    return {std::move(device), {}};
}

// A decimal number above 0, blanks around it ignored.
std::optional<std::uint32_t> parsePositive(std::string_view text) {
    text = trimmed(text);
    const char* end = text.data() + text.size();
    std::uint32_t number = 0;
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || rest != end || number == 0) {
        return std::nullopt;
    }
    return number;
}

} // namespace

DeviceListParse parseDeviceList(std::string_view text) {
    DeviceListParse result;
    for (std::string_view entry : split(text, ';')) {
        entry = trimmed(entry);
        if (entry.empty()) {
            continue;
        }
        auto [device, error] = parseEntry(entry);
        if (device) {
            result.devices.push_back(std::move(*device));
        } else {
            result.errors.push_back("'" + std::string(entry) + "': " + error);
        }
    }
    return result;
}

std::optional<FT_STATUS> parseOpenStatus(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) {
        return std::nullopt;
    }
    const char* end = text.data() + text.size();
    FT_STATUS status = FT_OK;
    const auto [rest, error] = std::from_chars(text.data(), end, status);
    if (error != std::errc() || rest != end || status == FT_OK) {
        return std::nullopt;
    }
    return status;
}

std::optional<CallFailure> parseCallFailure(std::string_view text) {
    static constexpr std::pair<std::string_view, D2xxFunction> kSetUpFunctions[] = {
        {"FT_SetBaudRate", D2xxFunction::SetBaudRate},
        {"FT_SetLatencyTimer", D2xxFunction::SetLatencyTimer},
        {"FT_SetBitMode", D2xxFunction::SetBitMode},
        {"FT_Purge", D2xxFunction::Purge}};
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = trimmed(text.substr(0, colon));
    const std::optional<FT_STATUS> status = parseOpenStatus(text.substr(colon + 1));
    for (const auto& [functionName, function] : kSetUpFunctions) {
        if (status && name == functionName) {
            return CallFailure{function, *status};
        }
    }
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> parseDcCountTime(std::string_view text) {
    const std::optional<std::uint32_t> milliseconds = parsePositive(text);
    if (!milliseconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(*milliseconds);
}

std::optional<unsigned> parseByteClockFactor(std::string_view text) {
    const std::optional<std::uint32_t> factor = parsePositive(text);
    if (!factor || *factor > Bus::kMaxByteClockFactor) {
        return std::nullopt;
    }
    return *factor;
}

std::optional<ResetPins> parseResetPins(std::string_view text) {
    text = trimmed(text);
    if (text == "high") {
        return ResetPins::PulledUp;
    }
    if (text == "low") {
        return ResetPins::PulledDown;
    }
    if (text == "held") {
        return ResetPins::Held;
    }
    return std::nullopt;
}

std::optional<BusTiming> parseBusTiming(std::string_view text) {
    text = trimmed(text);
    // The chip clocks its output on every bus now; "chip-clock" names the
    // ideal bus still, for the scripts that ask for it.
    if (text == "ideal" || text == "chip-clock") {
        return BusTiming{};
    }
    if (text == "noisy") {
        return BusTiming::noisy();
    }
    constexpr std::string_view kFullSpeed = "full-speed";
    if (text.substr(0, kFullSpeed.size()) != kFullSpeed) {
        return std::nullopt;
    }
    text.remove_prefix(kFullSpeed.size());
    if (text.empty()) {
        return BusTiming::fullSpeed();
    }
    if (text.front() != ':') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    const char* end = text.data() + text.size();
    std::uint32_t jitter = 0;
    const auto [rest, error] = std::from_chars(text.data(), end, jitter);
    const std::chrono::microseconds frame = BusTiming::kFrame;
    if (text.empty() || error != std::errc() || rest != end || jitter >= frame.count()) {
        return std::nullopt;
    }
    return BusTiming::fullSpeed(std::chrono::microseconds(jitter));
}

} // namespace ftdisim
