#ifndef KALVERA_LIBFTDI_OPENDEVICE_H
#define KALVERA_LIBFTDI_OPENDEVICE_H

#include "FtdiContext.h"

#include <ftd2xx.h>

#include <mutex>
#include <string>

namespace kalvera::libftdi {

// A device opened through libftdi: what one D2XX handle stands for. Its calls
// are serialised by its own lock, so a caller that breaks the rule of one
// thread per handle at a time gets calls one after the other, not a torn
// libftdi context. After close() every call returns FT_INVALID_HANDLE.
// How each libftdi result becomes a D2XX status is stated in D2xxApi.cpp.
class OpenDevice {
public:
    // Takes a context on which ftdi_usb_open_dev has succeeded.
    OpenDevice(FtdiContext context, std::string location);

    // The device's place on the bus (see FtdiDeviceList).
    const std::string& location() const { return location_; }

    FT_STATUS setBaudRate(ULONG baudRate);
    FT_STATUS setLatencyTimer(UCHAR milliseconds);
    FT_STATUS setBitMode(UCHAR mask, UCHAR mode);
    FT_STATUS purge(ULONG mask);
    FT_STATUS write(const unsigned char* bytes, DWORD count, DWORD* written);
    FT_STATUS read(unsigned char* bytes, DWORD count, DWORD* read);
    // Releases the interface and closes the device.
    FT_STATUS close();

private:
    std::mutex mutex;
    FtdiContext context; // null once closed
    const std::string location_;
};

} // namespace kalvera::libftdi

#endif
