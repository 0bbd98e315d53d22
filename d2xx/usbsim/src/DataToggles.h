#ifndef KALVERA_USBSIM_DATATOGGLES_H
#define KALVERA_USBSIM_DATATOGGLES_H

#include <ftdisim/DeviceDescription.h>

namespace kalvera::usbsim {

// The sequence bits (DATA0/DATA1) of a device's bulk OUT pipe at both ends of
// the wire (USB 2.0, 8.6): the bit the host sends its next data packet with,
// and the bit the device expects. The device takes a packet with the bit it
// expects and flips its bit; a packet with the other bit is the retry of one
// it has taken already, so it acknowledges it and drops its bytes. The host
// flips its bit at each acknowledgement it sees. They differ only after an
// acknowledgement was lost, until the next packet.
struct DataToggles {
    bool host = false;
    bool device = false;
};

// The device's toggles; DATA0 at both ends for a device that has had no bulk
// OUT transfer yet.
DataToggles dataToggles(ftdisim::DeviceId device);
void storeDataToggles(ftdisim::DeviceId device, DataToggles toggles);
// Back to DATA0 at both ends, as a SetConfiguration request puts them.
void resetDataToggles(ftdisim::DeviceId device);

} // namespace kalvera::usbsim

#endif
