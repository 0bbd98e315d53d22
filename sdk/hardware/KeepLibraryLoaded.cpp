#include "KeepLibraryLoaded.h"

#include <dlfcn.h>

#include <mutex>

void keepLibraryLoaded() {
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info self{};
        if (dladdr(reinterpret_cast<void*>(&keepLibraryLoaded), &self) && self.dli_fname) {
            // A handle never closed, on a library marked never to be unloaded:
            // either alone would do.
            dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
    });
}
