#ifndef KALVERA_AUTOTESTS_TESTPATH_H
#define KALVERA_AUTOTESTS_TESTPATH_H

#include <ftd2xx.h>

#include <QString>
#include <QtGlobal>

#include <string>

// The path a test run takes to the simulated turntables, which the programs it
// runs as subprocesses inherit: the simulator backend (the tests' default), or
// the libftdi backend over the USB-level simulation (the real path).
namespace testpath {

inline QString backend() {
    return qEnvironmentVariable("KALVERA_TURNTABLE_BACKEND");
}

inline bool onUsbLevelSimulation() {
    return backend() == QLatin1String("libftdi");
}

// The line the programs start with on this run's backend: none on the
// default, libftdi.
inline std::string backendNotice() {
    return backend() == QLatin1String("simulator")
               ? "USB backend: simulator (simulated turntables)\n"
               : "";
}

// What FT_Open returns for an open failure set with ftdisim::Bus::failNextOpen
// or failEveryOpen: the status itself on the simulator. libftdi's open fails
// only as an I/O error or as a device that cannot be had.
inline FT_STATUS openFailureSeen(FT_STATUS injected) {
    if (!onUsbLevelSimulation() || injected == FT_IO_ERROR) {
        return injected;
    }
    return FT_DEVICE_NOT_OPENED;
}

// What FT_Open returns when the chip refuses a set-up call with `injected`
// (ftdisim::Bus::setSetUpFault): libftdi reports every failed set-up
// transfer as an I/O error.
inline FT_STATUS setUpFailureSeen(FT_STATUS injected) {
    return onUsbLevelSimulation() ? FT_STATUS{FT_IO_ERROR} : injected;
}

// Whether the device list flags a device that another program has open. The
// libftdi backend reads that from sysfs, which the USB-level simulation does
// not fake; FT_Open refuses such a device on both paths.
inline bool listFlagsDevicesOpenElsewhere() {
    return !onUsbLevelSimulation();
}

} // namespace testpath

#endif
