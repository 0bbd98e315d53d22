#include "LoaderHandles.h"

#include <atomic>
#include <cstdint>

namespace d2xxloader {

namespace {

// Far more than the chips one computer drives at once. A handle is the
// address of its slot; slots are taken round the table, so that a closed
// handle stays unknown for a long while rather than naming the next device.
constexpr std::size_t kSlotCount = 64;

struct Slot {
    std::atomic<bool> taken{false};
    // Written before the library is published, read after it is seen.
    std::atomic<FT_HANDLE> handle{nullptr};
    std::atomic<const BackendLibrary*> library{nullptr};
};

Slot slots[kSlotCount];
std::atomic<std::size_t> nextSlot{0};

Slot* slotOf(FT_HANDLE handle) {
    const auto address = reinterpret_cast<std::uintptr_t>(handle);
    const auto first = reinterpret_cast<std::uintptr_t>(&slots[0]);
    if (address < first || (address - first) % sizeof(Slot) != 0 ||
        (address - first) / sizeof(Slot) >= kSlotCount) {
        return nullptr;
    }
    return &slots[(address - first) / sizeof(Slot)];
}

} // namespace

FT_HANDLE adopt(OpenDevice device) {
    for (std::size_t tried = 0; tried < kSlotCount; ++tried) {
        Slot& slot = slots[nextSlot.fetch_add(1) % kSlotCount];
        bool wasTaken = false;
        if (slot.taken.compare_exchange_strong(wasTaken, true)) {
            slot.handle.store(device.handle, std::memory_order_relaxed);
            slot.library.store(device.library, std::memory_order_release);
            return &slot;
        }
    }
    return nullptr;
}

OpenDevice deviceOf(FT_HANDLE handle) {
    Slot* slot = slotOf(handle);
    if (!slot) {
        return {nullptr, nullptr};
    }
    const BackendLibrary* library = slot->library.load(std::memory_order_acquire);
    return {library, slot->handle.load(std::memory_order_relaxed)};
}

OpenDevice release(FT_HANDLE handle) {
    Slot* slot = slotOf(handle);
    if (!slot) {
        return {nullptr, nullptr};
    }
    const BackendLibrary* library = slot->library.exchange(nullptr, std::memory_order_acq_rel);
    if (!library) {
        return {nullptr, nullptr};
    }
    const OpenDevice device{library, slot->handle.load(std::memory_order_relaxed)};
    slot->taken.store(false, std::memory_order_release);
    return device;
}

FT_HANDLE handleOf(const BackendLibrary* library, FT_HANDLE handle) {
    for (Slot& slot : slots) {
        if (slot.library.load(std::memory_order_acquire) == library &&
            slot.handle.load(std::memory_order_relaxed) == handle) {
            return &slot;
        }
    }
    return nullptr;
}

} // namespace d2xxloader
