#ifndef FTDISIM_HANDLETABLE_H
#define FTDISIM_HANDLETABLE_H

#include <ftdisim/DeviceDescription.h>

#include <ftd2xx.h>

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace ftdisim {

// Maps the opaque FT_HANDLE values given to callers onto devices. A handle is
// a number, never an address, so looking up a garbage or stale handle cannot
// touch memory. Numbers count up and are never reused, not even after
// clear(), so a stale handle cannot reach a device opened later.
class HandleTable {
public:
    HandleTable();

    FT_HANDLE issue(DeviceId device);
    // The device of an issued handle that was not released since.
    std::optional<DeviceId> find(FT_HANDLE handle) const;
    void release(FT_HANDLE handle);
    // Releases every handle.
    void clear();

private:
    std::uintptr_t nextValue_;
    std::unordered_map<std::uintptr_t, DeviceId> devices_;
};

} // namespace ftdisim

#endif
