#include "HandleTable.h"

namespace ftdisim {

namespace {

// High in the address space, where no object of the caller lives: a handle
// value passed around as a pointer is then easy to tell in a debugger, and a
// small garbage value cannot be a live handle.
constexpr std::uintptr_t kFirstHandleValue = std::uintptr_t{0xF7D10000}
                                             << (8 * (sizeof(std::uintptr_t) - 4));

std::uintptr_t valueOf(FT_HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

HandleTable::HandleTable()
    : nextValue_(kFirstHandleValue) {}

FT_HANDLE HandleTable::issue(DeviceId device) {
    const std::uintptr_t value = nextValue_++;
    devices_.emplace(value, device);
    return reinterpret_cast<FT_HANDLE>(value);
}

std::optional<DeviceId> HandleTable::find(FT_HANDLE handle) const {
    const auto entry = devices_.find(valueOf(handle));
    if (entry == devices_.end()) {
        return std::nullopt;
    }
    return entry->second;
}

void HandleTable::release(FT_HANDLE handle) {
    devices_.erase(valueOf(handle));
}

void HandleTable::clear() {
    devices_.clear();
}

} // namespace ftdisim
