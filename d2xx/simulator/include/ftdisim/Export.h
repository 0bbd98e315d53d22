#ifndef FTDISIM_EXPORT_H
#define FTDISIM_EXPORT_H

// The project hides symbols by default; the C functions and the control
// interface are what the simulator library offers to the SDK and to tests.
#define FTDISIM_EXPORT __attribute__((visibility("default")))

#endif
