#include "VendorRequests.h"

#include "UsbObjects.h"

#include <ftd2xx.h>

#include <algorithm>
#include <vector>

namespace kalvera::usbsim {

namespace {

using ftdisim::UsbPort;
using ftdisim::UsbResult;

// The request numbers of the FTDI chips (libftdi's SIO_*_REQUEST).
enum Request : std::uint8_t {
    kReset = 0x00,
    kModemControl = 0x01,
    kFlowControl = 0x02,
    kSetBaudRate = 0x03,
    kSetData = 0x04,
    kPollModemStatus = 0x05,
    kSetEventChar = 0x06,
    kSetErrorChar = 0x07,
    kSetLatencyTimer = 0x09,
    kGetLatencyTimer = 0x0A,
    kSetBitMode = 0x0B,
    kReadPins = 0x0C,
};

// The values of kReset: the chip, then the two purges libftdi's tcoflush and
// tciflush send (what waits to go out to the pins, what came in for the host).
enum ResetValue : std::uint16_t { kResetChip = 0, kPurgeTransmit = 1, kPurgeReceive = 2 };

// Base clock of the R series' baud-rate generator in eighths of a divisor.
constexpr std::uint32_t kClockInEighths = 24000000;
constexpr std::uint32_t kDivisorBits = 0x3FFF;
// The eighths each sub-divisor code stands for.
constexpr std::uint32_t kEighthsOfCode[8] = {0, 4, 2, 1, 3, 5, 6, 7};

int inResult(UsbResult result, int length) {
    return result == UsbResult::Done ? length : libusbCode(result);
}

int answerReset(ftdisim::DeviceId device, std::uint16_t value) {
    switch (value) {
    case kResetChip:
        return libusbCode(UsbPort::resetChip(device));
    case kPurgeTransmit:
        return libusbCode(UsbPort::purge(device, FT_PURGE_TX));
    case kPurgeReceive:
        return libusbCode(UsbPort::purge(device, FT_PURGE_RX));
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int answerOut(ftdisim::DeviceId device, const VendorRequest& request) {
    switch (request.request) {
    case kReset:
        return answerReset(device, request.value);
    case kSetBaudRate:
        return libusbCode(UsbPort::setBaudRate(
            device, baudRateOfDivisor(request.value | (std::uint32_t{request.index & 1u} << 16))));
    case kSetLatencyTimer:
        return libusbCode(
            UsbPort::setLatencyTimer(device, static_cast<UCHAR>(request.value & 0xFF)));
    case kSetBitMode:
        return libusbCode(UsbPort::setBitMode(device, static_cast<UCHAR>(request.value & 0xFF),
                                              static_cast<UCHAR>(request.value >> 8)));
    case kModemControl:
    case kFlowControl:
    case kSetData:
    case kSetEventChar:
    case kSetErrorChar:
        // Serial settings: nothing on the pins of bit-bang mode depends on them.
        return libusbCode(UsbPort::exchange(device));
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int answerIn(ftdisim::DeviceId device, const VendorRequest& request) {
    switch (request.request) {
    case kPollModemStatus: {
        if (request.length < sizeof kModemStatus) {
            return LIBUSB_ERROR_OVERFLOW;
        }
        const UsbResult result = UsbPort::exchange(device);
        if (result == UsbResult::Done) {
            request.data[0] = kModemStatus[0];
            request.data[1] = kModemStatus[1];
        }
        return inResult(result, sizeof kModemStatus);
    }
    case kGetLatencyTimer:
    case kReadPins: {
        if (request.length < 1) {
            return LIBUSB_ERROR_OVERFLOW;
        }
        UCHAR byte = 0;
        const UsbResult result = request.request == kReadPins ? UsbPort::readPins(device, byte)
                                                              : UsbPort::latencyTimer(device, byte);
        if (result == UsbResult::Done) {
            request.data[0] = byte;
        }
        return inResult(result, 1);
    }
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

} // namespace

int answerBulkIn(ftdisim::DeviceId device, unsigned char* data, int length, int& moved) {
    constexpr int kPacket = 64;
    constexpr int kStatusBytes = sizeof kModemStatus;
    constexpr int kSamplesPerPacket = kPacket - kStatusBytes;
    const int room =
        length / kPacket * kSamplesPerPacket + std::max(0, length % kPacket - kStatusBytes);
    std::vector<UCHAR> samples(static_cast<std::size_t>(room));
    DWORD taken = 0;
    moved = 0;
    const UsbResult result =
        UsbPort::readSamples(device, samples.data(), static_cast<DWORD>(room), taken);
    if (result != UsbResult::Done) {
        return libusbCode(result);
    }
    int sent = 0;
    do {
        const int status = std::min(kStatusBytes, length - moved);
        std::copy_n(kModemStatus, status, data + moved);
        moved += status;
        const int count = std::min(kSamplesPerPacket, static_cast<int>(taken) - sent);
        std::copy_n(samples.begin() + sent, count, data + moved);
        moved += count;
        sent += count;
    } while (sent < static_cast<int>(taken));
    return LIBUSB_SUCCESS;
}

std::uint32_t baudRateOfDivisor(std::uint32_t encoded) {
    // Two codes name the divisors below 2, which the fraction cannot.
    if (encoded == 0) {
        return 3000000;
    }
    if (encoded == 1) {
        return 2000000;
    }
    const std::uint32_t eighths =
        (encoded & kDivisorBits) * 8 + kEighthsOfCode[(encoded >> 14) & 0x7];
    return eighths == 0 ? 0 : (kClockInEighths + eighths / 2) / eighths;
}

int answerVendorRequest(ftdisim::DeviceId device, const VendorRequest& request) {
    return request.deviceToHost ? answerIn(device, request) : answerOut(device, request);
}

} // namespace kalvera::usbsim
