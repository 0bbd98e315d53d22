#ifndef KALVERA_D2XX_DEVICELISTSNAPSHOT_H
#define KALVERA_D2XX_DEVICELISTSNAPSHOT_H

#include <ftd2xx.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace kalvera::d2xx {

// The device list that FT_CreateDeviceInfoList built last, which
// FT_GetDeviceInfoList hands out cut to each caller's array. Thread-safe.
class DeviceListSnapshot {
public:
    // FT_CreateDeviceInfoList: `build` fills a new list and returns a status;
    // the list is kept on FT_OK, with its length in *numDevs, and is empty
    // after a failure. `build` runs under the snapshot's lock, so that two
    // threads never interleave the enumerations and the copies they make.
    template <typename Build>
    FT_STATUS rebuild(DWORD* numDevs, Build build) {
        if (!numDevs) {
            return FT_INVALID_PARAMETER;
        }
        std::lock_guard<std::mutex> lock(mutex);
        nodes.clear();
        *numDevs = 0;
        std::vector<FT_DEVICE_LIST_INFO_NODE> built;
        const FT_STATUS status = build(built);
        if (status == FT_OK) {
            nodes = std::move(built);
            *numDevs = static_cast<DWORD>(nodes.size());
        }
        return status;
    }

    // FT_GetDeviceInfoList: copies at most *numDevs entries and stores how
    // many it copied; none before the first rebuild. FT_OK;
    // FT_INVALID_PARAMETER for a null count, or a null destination for a
    // count above 0.
    FT_STATUS copyTo(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs) const {
        if (!numDevs || (!dest && *numDevs > 0)) {
            return FT_INVALID_PARAMETER;
        }
        std::lock_guard<std::mutex> lock(mutex);
        const std::size_t copied = std::min<std::size_t>(*numDevs, nodes.size());
        std::copy_n(nodes.begin(), copied, dest);
        *numDevs = static_cast<DWORD>(copied);
        return FT_OK;
    }

private:
    mutable std::mutex mutex;
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes;
};

} // namespace kalvera::d2xx

#endif
