#ifndef FTDISIM_TRANSFERFAULT_H
#define FTDISIM_TRANSFERFAULT_H

#include <ftd2xx.h>

namespace ftdisim {

// An injected failure of FT_Write or FT_Read. A failing call transfers no
// byte: a write leaves the pins as they are, a read leaves the caller's buffer
// untouched, and the transferred count is 0.
struct TransferFault {
    // What a failing call returns. FT_OK makes a short transfer: the call
    // "succeeds" without moving a byte, which callers must treat as a failure.
    FT_STATUS status = FT_IO_ERROR;
    // How many calls fail before the fault clears itself; -1 = until cleared.
    int count = -1;
    // Every period-th call fails (1 = each call), for faults that come now
    // and then. Calls are counted from the moment the fault is set.
    int period = 1;
};

} // namespace ftdisim

#endif
