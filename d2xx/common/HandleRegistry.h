#ifndef KALVERA_D2XX_HANDLEREGISTRY_H
#define KALVERA_D2XX_HANDLEREGISTRY_H

#include <ftd2xx.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kalvera::d2xx {

// The handles this process holds open. A handle is a number that is never
// handed out twice and is only looked up, never dereferenced, so a closed,
// null or foreign handle finds nothing instead of freed or reused memory.
// Lookups hand out shared ownership: a call that is still running on a device
// keeps it alive while another thread closes its handle.
template <typename Device>
class HandleRegistry {
public:
    // Registers an opened device and returns its new handle.
    FT_HANDLE add(std::shared_ptr<Device> device) {
        std::lock_guard<std::mutex> lock(mutex);
        const std::uintptr_t number = ++lastNumber;
        devices.emplace(number, std::move(device));
        return reinterpret_cast<FT_HANDLE>(number);
    }

    // The device behind a live handle, null for any other value.
    std::shared_ptr<Device> find(FT_HANDLE handle) const {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = devices.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == devices.end() ? nullptr : it->second;
    }

    // Ends a handle and returns its device, null if the handle was not live.
    std::shared_ptr<Device> remove(FT_HANDLE handle) {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = devices.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == devices.end()) {
            return nullptr;
        }
        std::shared_ptr<Device> device = std::move(it->second);
        devices.erase(it);
        return device;
    }

    // The handle of a live device that `matches` accepts, null if none does.
    // `matches` runs under the registry's lock and must not call back into it.
    template <typename Predicate>
    FT_HANDLE findHandle(Predicate matches) const {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [number, device] : devices) {
            if (matches(*device)) {
                return reinterpret_cast<FT_HANDLE>(number);
            }
        }
        return nullptr;
    }

private:
    mutable std::mutex mutex;
    std::uintptr_t lastNumber = 0;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Device>> devices;
};

} // namespace kalvera::d2xx

#endif
