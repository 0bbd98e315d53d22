#ifndef KALVERA_LIBFTDI_FTDIDEVICELIST_H
#define KALVERA_LIBFTDI_FTDIDEVICELIST_H

#include <ftd2xx.h>
#include <ftdi.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kalvera::libftdi {

// The attached devices that libftdi recognises as FTDI chips (vendor 0x0403
// with the FT245R/FT232R, FT2232, FT4232, FT232H and FT-X product ids), in
// the order of their bus and port path. The index of a device therefore
// stays the same from one enumeration to the next for as long as nothing is
// plugged in or out, which is what lets FT_Open take the index of an earlier
// FT_CreateDeviceInfoList.
class FtdiDeviceList {
public:
    FtdiDeviceList() = default;
    FtdiDeviceList(const FtdiDeviceList&) = delete;
    FtdiDeviceList& operator=(const FtdiDeviceList&) = delete;
    ~FtdiDeviceList();

    // Enumerates through `context`, whose libusb context must outlive this
    // list. FT_OK; FT_INSUFFICIENT_RESOURCES when libftdi runs out of
    // memory; FT_IO_ERROR when libusb cannot list the bus or read a device
    // descriptor.
    FT_STATUS find(ftdi_context* context);

    std::size_t size() const { return entries.size(); }
    libusb_device* device(std::size_t index) const { return entries[index].device; }
    // The device's place on the bus, named as sysfs names it ("1-4.2"):
    // stable while it stays plugged into the same port.
    const std::string& location(std::size_t index) const { return entries[index].location; }

private:
    struct Entry {
        libusb_device* device;
        std::vector<unsigned char> busAndPorts;
        std::string location;
    };

    ftdi_device_list* list = nullptr;
    std::vector<Entry> entries;
};

} // namespace kalvera::libftdi

#endif
