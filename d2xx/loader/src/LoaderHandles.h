#ifndef KALVERA_D2XXLOADER_LOADERHANDLES_H
#define KALVERA_D2XXLOADER_LOADERHANDLES_H

#include "BackendLibrary.h"

#include <HandleRegistry.h>

namespace d2xxloader {

// A device a backend has open, as the loader's clients know it: each handle
// the loader hands out names the backend that opened it, so that a later
// change of choice never sends it to another library.
struct OpenDevice {
    const BackendLibrary* library;
    FT_HANDLE handle;
};

// The devices open through the loader, by the loader's own handles.
kalvera::d2xx::HandleRegistry<OpenDevice>& openDevices();

} // namespace d2xxloader

#endif
