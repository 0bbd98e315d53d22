#ifndef KALVERA_USBSIM_VENDORREQUESTS_H
#define KALVERA_USBSIM_VENDORREQUESTS_H

#include <ftdisim/DeviceDescription.h>

#include <cstdint>

namespace kalvera::usbsim {

// Modem status then line status: the idle status an FT245R reports (bit 0 of
// the first byte is always set; transmitter holding and shift registers
// empty). Every bulk IN packet starts with it.
constexpr unsigned char kModemStatus[2] = {0x01, 0x60};

// One FTDI vendor control request, as libusb_control_transfer takes it.
struct VendorRequest {
    bool deviceToHost;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    unsigned char* data;
    std::uint16_t length;
};

// Answers the request as an FT245R does: the length of the data stage, or a
// libusb error; LIBUSB_ERROR_PIPE (a stall) for what the chip does not know.
int answerVendorRequest(ftdisim::DeviceId device, const VendorRequest& request);

// Answers a bulk IN as an FT245R does: 64-byte packets, each the status
// bytes then up to 62 of the samples the chip queued, as many packets as the
// samples and `length` call for, at least one. The libusb code; `moved` gets
// the bytes put in `data`.
int answerBulkIn(ftdisim::DeviceId device, unsigned char* data, int length, int& moved);

// The baud rate of an R-series divisor: value in the low 16 bits, the
// index's bit 0 as bit 16.
std::uint32_t baudRateOfDivisor(std::uint32_t encoded);

} // namespace kalvera::usbsim

#endif
