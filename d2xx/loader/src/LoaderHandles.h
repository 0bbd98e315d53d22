#ifndef KALVERA_D2XXLOADER_LOADERHANDLES_H
#define KALVERA_D2XXLOADER_LOADERHANDLES_H

#include "BackendLibrary.h"

namespace d2xxloader {

// A device a backend has open, as the loader's clients know it: each handle
// the loader hands out names the backend that opened it, so that a later
// change of choice never sends it to another library.
struct OpenDevice {
    const BackendLibrary* library;
    FT_HANDLE handle;
};

// The loader's handle for `device`; null when every handle is taken.
FT_HANDLE adopt(OpenDevice device);
// The device behind a handle of adopt(); library null for a handle the loader
// does not know (never handed out, or closed).
OpenDevice deviceOf(FT_HANDLE handle);
// As deviceOf(), and the handle is no longer known: only one caller gets it.
OpenDevice release(FT_HANDLE handle);
// The loader's handle for the device `library` has open as `handle`; null if
// none.
FT_HANDLE handleOf(const BackendLibrary* library, FT_HANDLE handle);

} // namespace d2xxloader

#endif
