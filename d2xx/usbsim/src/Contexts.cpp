// Contexts and event handling. The stand-in has nothing asynchronous: every
// transfer completes inside its synchronous call, so there are no events to
// handle and no contexts to keep apart.
#include "UsbObjects.h"

USBSIM_EXPORT int libusb_init(libusb_context** context) {
    // The default context (a null one) needs no object: nothing is kept per context.
    if (context) {
        *context = new libusb_context;
    }
    return LIBUSB_SUCCESS;
}

USBSIM_EXPORT void libusb_exit(libusb_context* context) {
    delete context;
}

// No events ever wait: returns at once, as real libusb does when the timeout
// runs out without an event.
USBSIM_EXPORT int libusb_handle_events_timeout(libusb_context*, struct timeval*) {
    return LIBUSB_SUCCESS;
}

USBSIM_EXPORT int libusb_handle_events_timeout_completed(libusb_context*, struct timeval*, int*) {
    return LIBUSB_SUCCESS;
}
