#include "BackendLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <memory>

namespace d2xxloader {

namespace {

// One slot per entry of backends(); a library once loaded stays.
std::atomic<const BackendLibrary*> loadedLibraries[kBackendCount];

// An object of this library, whose address tells where the library lies.
const char whereTheLoaderLies = 0;

// The path of `fileName` in the directory of the library holding the loader,
// where an installed (or built) SDK keeps its backends; empty if not there.
std::string besideThisLibrary(const char* fileName) {
    Dl_info info{};
    if (!dladdr(&whereTheLoaderLies, &info) || !info.dli_fname) {
        return {};
    }
    const std::string self = info.dli_fname;
    const std::size_t slash = self.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    const std::string path = self.substr(0, slash + 1) + fileName;
    return access(path.c_str(), F_OK) == 0 ? path : std::string();
}

template <typename Function>
bool bind(void* library, const char* symbol, Function& function) {
    dlerror();
    void* address = dlsym(library, symbol);
    function = reinterpret_cast<Function>(address);
    return address != nullptr;
}

const char* lastDlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

std::unique_ptr<BackendLibrary> open(const BackendInfo& backend, std::string* failure) {
    const std::string beside = besideThisLibrary(backend.fileName);
    // Local, so that the FT_* names of one backend never stand in for
    // another's, nor for the loader's own.
    void* library =
        dlopen(beside.empty() ? backend.fileName : beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    const std::string cannotLoad =
        std::string("The USB backend \"") + backend.name + "\" cannot be loaded: ";
    if (!library) {
        *failure = cannotLoad + lastDlError();
        return nullptr;
    }
    auto functions = std::make_unique<BackendLibrary>();
    if (!bind(library, "FT_CreateDeviceInfoList", functions->createDeviceInfoList) ||
        !bind(library, "FT_GetDeviceInfoList", functions->getDeviceInfoList) ||
        !bind(library, "FT_Open", functions->open) ||
        !bind(library, "FT_SetBaudRate", functions->setBaudRate) ||
        !bind(library, "FT_SetLatencyTimer", functions->setLatencyTimer) ||
        !bind(library, "FT_SetBitMode", functions->setBitMode) ||
        !bind(library, "FT_Purge", functions->purge) ||
        !bind(library, "FT_Write", functions->write) ||
        !bind(library, "FT_Read", functions->read) ||
        !bind(library, "FT_Close", functions->close)) {
        *failure = cannotLoad + lastDlError();
        // Not closed: a library's own threads may already run, and an
        // unload under them would pull their code away.
        return nullptr;
    }
    return functions;
}

} // namespace

const BackendLibrary* chosenLibrary(std::string* failure) {
    const std::string name = chosen();
    const BackendInfo* backend = findBackend(name);
    if (!backend) {
        *failure = "Unknown USB backend \"" + name + "\" in " + kEnvironmentVariable +
                   "; the backends are";
        for (const BackendInfo& known : backends()) {
            *failure += std::string(&known == backends().data() ? " " : ", ") + known.name;
        }
        *failure += '.';
        return nullptr;
    }
    std::atomic<const BackendLibrary*>& slot =
        loadedLibraries[static_cast<std::size_t>(backend - backends().data())];
    if (const BackendLibrary* loaded = slot.load(std::memory_order_acquire)) {
        return loaded;
    }
    std::unique_ptr<BackendLibrary> opened = open(*backend, failure);
    if (!opened) {
        return nullptr;
    }
    // Two first uses may race: both opened the same library, one table stays.
    const BackendLibrary* expected = nullptr;
    if (slot.compare_exchange_strong(expected, opened.get(), std::memory_order_acq_rel)) {
        return opened.release();
    }
    return expected;
}

std::string load() {
    std::string failure;
    chosenLibrary(&failure);
    return failure;
}

} // namespace d2xxloader
