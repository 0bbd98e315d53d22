#ifndef KALVERA_D2XXLOADER_BACKENDLIBRARY_H
#define KALVERA_D2XXLOADER_BACKENDLIBRARY_H

#include "d2xxloader/D2xxLoader.h"

#include <ftd2xx.h>

#include <string>

namespace d2xxloader {

// A loaded backend's D2XX functions.
struct BackendLibrary {
    decltype(&FT_CreateDeviceInfoList) createDeviceInfoList = nullptr;
    decltype(&FT_GetDeviceInfoList) getDeviceInfoList = nullptr;
    decltype(&FT_Open) open = nullptr;
    decltype(&FT_SetBaudRate) setBaudRate = nullptr;
    decltype(&FT_SetLatencyTimer) setLatencyTimer = nullptr;
    decltype(&FT_SetBitMode) setBitMode = nullptr;
    decltype(&FT_Purge) purge = nullptr;
    decltype(&FT_Write) write = nullptr;
    decltype(&FT_Read) read = nullptr;
    decltype(&FT_Close) close = nullptr;
};

// The chosen backend, loaded on the first call that needs it; null, with the
// reason in `failure`, when the choice is unknown or cannot be loaded.
const BackendLibrary* chosenLibrary(std::string* failure);

} // namespace d2xxloader

#endif
