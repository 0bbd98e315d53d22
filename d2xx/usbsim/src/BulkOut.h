#ifndef KALVERA_USBSIM_BULKOUT_H
#define KALVERA_USBSIM_BULKOUT_H

#include <ftdisim/DeviceDescription.h>

namespace kalvera::usbsim {

// One bulk OUT transfer of `length` bytes to the device, sent packet by
// packet: a UsbFault on the device's wire can cut it after some packets, or
// lose a packet's acknowledgement, and the data toggles decide which packets
// the chip takes (see DataToggles.h). The chip gets the bytes it takes as one
// write. Returns 0 or a libusb error; `acknowledged` receives the bytes the
// host saw acknowledged.
int bulkOut(ftdisim::DeviceId device, const unsigned char* data, int length, int& acknowledged);

} // namespace kalvera::usbsim

#endif
