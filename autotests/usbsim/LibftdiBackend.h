#ifndef KALVERA_TEST_LIBFTDIBACKEND_H
#define KALVERA_TEST_LIBFTDIBACKEND_H

#include <ftd2xx.h>

#include <dlfcn.h>

#include <stdexcept>
#include <string>

// Our libftdi backend, dlopened: the test links the simulator, which exports
// the same FT_* names, so the backend is only ever called through these.
class LibftdiBackend {
public:
    LibftdiBackend()
        : library(dlopen(KALVERA_LIBFTDI_BACKEND, RTLD_NOW | RTLD_LOCAL)) {
        if (!library) {
            throw std::runtime_error(std::string("cannot load the libftdi backend: ") + dlerror());
        }
        load(createDeviceInfoList, "FT_CreateDeviceInfoList");
        load(getDeviceInfoList, "FT_GetDeviceInfoList");
        load(open, "FT_Open");
        load(setBitMode, "FT_SetBitMode");
        load(write, "FT_Write");
        load(read, "FT_Read");
        load(close, "FT_Close");
    }
    LibftdiBackend(const LibftdiBackend&) = delete;
    LibftdiBackend& operator=(const LibftdiBackend&) = delete;
    ~LibftdiBackend() { dlclose(library); }

    FT_STATUS (*createDeviceInfoList)(DWORD*) = nullptr;
    FT_STATUS (*getDeviceInfoList)(FT_DEVICE_LIST_INFO_NODE*, DWORD*) = nullptr;
    FT_STATUS (*open)(int, FT_HANDLE*) = nullptr;
    FT_STATUS (*setBitMode)(FT_HANDLE, UCHAR, UCHAR) = nullptr;
    FT_STATUS (*write)(FT_HANDLE, void*, DWORD, DWORD*) = nullptr;
    FT_STATUS (*read)(FT_HANDLE, void*, DWORD, DWORD*) = nullptr;
    FT_STATUS (*close)(FT_HANDLE) = nullptr;

private:
    template <typename Function>
    void load(Function& function, const char* name) {
        function = reinterpret_cast<Function>(dlsym(library, name));
        if (!function) {
            throw std::runtime_error(std::string("the libftdi backend lacks ") + name);
        }
    }

    void* library;
};

#endif
