// The SDK's side of the D2XX backends: the ten functions of ftd2xx.h are
// defined here and forward to the backend library chosen at run time, which
// is loaded on first use and never unloaded (handles and threads may outlive
// a choice).
#ifndef KALVERA_D2XXLOADER_H
#define KALVERA_D2XXLOADER_H

#include <array>
#include <cstddef>
#include <string>

namespace d2xxloader {

struct BackendInfo {
    const char* name;
    const char* description;
    // Looked for beside the library that holds the loader, then by this plain
    // name on the library search path.
    const char* fileName;
};

constexpr const char* kEnvironmentVariable = "KALVERA_TURNTABLE_BACKEND";
constexpr const char* kDefaultBackend = "libftdi";

constexpr std::size_t kBackendCount = 3;

// Every backend, the default first.
const std::array<BackendInfo, kBackendCount>& backends();
// The backend called `name`; null for an unknown name.
const BackendInfo* findBackend(const std::string& name);

// Makes `name` the backend of later searches and opens; false, changing
// nothing, for an unknown name.
bool choose(const std::string& name);
// The name choose() was given last; before any choice, the environment
// variable's value when it is set and not empty (it may be unknown), else the
// default.
std::string chosen();
// Loads the chosen backend unless it is loaded already. Empty when it is
// ready, else a text for the user naming the backend and what went wrong.
std::string load();

} // namespace d2xxloader

#endif
