#ifndef FTDISIM_D2XXFUNCTION_H
#define FTDISIM_D2XXFUNCTION_H

namespace ftdisim {

// The D2XX functions the simulator implements, for counting calls.
enum class D2xxFunction {
    CreateDeviceInfoList,
    GetDeviceInfoList,
    Open,
    SetBaudRate,
    SetLatencyTimer,
    SetBitMode,
    Purge,
    Write,
    Read,
    Close,
};

} // namespace ftdisim

#endif
