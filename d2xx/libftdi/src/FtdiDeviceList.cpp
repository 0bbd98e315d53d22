#include "FtdiDeviceList.h"

#include <libusb.h>

#include <algorithm>

namespace kalvera::libftdi {

namespace {

// USB allows at most seven tiers of hubs below the root.
constexpr int kMaxPortDepth = 7;

} // namespace

FtdiDeviceList::~FtdiDeviceList() {
    ftdi_list_free(&list);
}

FT_STATUS FtdiDeviceList::find(ftdi_context* context) {
    // Vendor and product 0 select libftdi's own table of FTDI ids.
    const int found = ftdi_usb_find_all(context, &list, 0, 0);
    if (found < 0) {
        // -3: out of memory; -5: libusb_get_device_list failed; -6: a device
        // descriptor could not be read.
        return found == -3 ? FT_INSUFFICIENT_RESOURCES : FT_IO_ERROR;
    }
    for (ftdi_device_list* node = list; node; node = node->next) {
        Entry entry{node->dev, {libusb_get_bus_number(node->dev)}, {}};
        entry.location = std::to_string(entry.busAndPorts.front());
        unsigned char ports[kMaxPortDepth];
        const int depth = libusb_get_port_numbers(node->dev, ports, kMaxPortDepth);
        for (int i = 0; i < depth; ++i) {
            entry.busAndPorts.push_back(ports[i]);
            entry.location += (i == 0 ? '-' : '.') + std::to_string(ports[i]);
        }
        if (depth <= 0) {
            // Not expected below a root hub; the address still tells devices apart.
            entry.busAndPorts.push_back(0);
            entry.busAndPorts.push_back(libusb_get_device_address(node->dev));
            entry.location += "-@" + std::to_string(entry.busAndPorts.back());
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.busAndPorts < b.busAndPorts; });
    return FT_OK;
}

} // namespace kalvera::libftdi
