#include "d2xxloader/D2xxLoader.h"

#include <atomic>
#include <cstdlib>

namespace d2xxloader {

namespace {

// The index in backends() that choose() was given last; -1 before any.
std::atomic<int> chosenIndex{-1};

} // namespace

const std::array<BackendInfo, kBackendCount>& backends() {
    static const std::array<BackendInfo, kBackendCount> all{{
        {kDefaultBackend, "real FT245R chips through libftdi", "libkalvera-ftd2xx-libftdi.so"},
        {"simulator", "simulated turntables", "libkalvera-ftd2xx-sim.so"},
        {"vendor", "the vendor's D2XX library libftd2xx.so", "libftd2xx.so"},
    }};
    return all;
}

const BackendInfo* findBackend(const std::string& name) {
    for (const BackendInfo& backend : backends()) {
        if (name == backend.name) {
            return &backend;
        }
    }
    return nullptr;
}

bool choose(const std::string& name) {
    const BackendInfo* backend = findBackend(name);
    if (!backend) {
        return false;
    }
    chosenIndex.store(static_cast<int>(backend - backends().data()));
    return true;
}

std::string chosen() {
    const int index = chosenIndex.load();
    if (index >= 0) {
        return backends()[static_cast<std::size_t>(index)].name;
    }
    const char* fromEnvironment = std::getenv(kEnvironmentVariable);
    return fromEnvironment && *fromEnvironment ? fromEnvironment : kDefaultBackend;
}

} // namespace d2xxloader
