#include "LxD2xxBackend.h"

#include <d2xxloader/D2xxLoader.h>

std::string LxD2xxBackend::environmentVariable() {
    return d2xxloader::kEnvironmentVariable;
}

std::string LxD2xxBackend::defaultName() {
    return d2xxloader::kDefaultBackend;
}

std::vector<std::string> LxD2xxBackend::names() {
    std::vector<std::string> all;
    for (const d2xxloader::BackendInfo& backend : d2xxloader::backends()) {
        all.emplace_back(backend.name);
    }
    return all;
}

std::string LxD2xxBackend::description(const std::string& name) {
    const d2xxloader::BackendInfo* backend = d2xxloader::findBackend(name);
    return backend ? backend->description : std::string();
}

std::string LxD2xxBackend::listing(const std::string& indent) {
    std::string lines;
    for (const d2xxloader::BackendInfo& backend : d2xxloader::backends()) {
        lines += indent + backend.name + (backend.name == defaultName() ? " (default)" : "") +
                 ": " + backend.description + '\n';
    }
    return lines;
}

bool LxD2xxBackend::choose(const std::string& name) {
    return d2xxloader::choose(name);
}

std::string LxD2xxBackend::chosen() {
    return d2xxloader::chosen();
}

std::string LxD2xxBackend::chooseGiven(const std::string& given, const std::string& indent) {
    if (!given.empty() && !choose(given)) {
        return "Unknown USB backend \"" + given + "\". The backends:\n" + listing(indent);
    }
    const std::string name = chosen();
    if (description(name).empty()) {
        return "Unknown USB backend \"" + name + "\" in " + environmentVariable() +
               ". The backends:\n" + listing(indent);
    }
    return {};
}

std::string LxD2xxBackend::inEffect(const std::string& given) {
    const std::string name = given.empty() ? chosen() : given;
    if (!description(name).empty()) {
        return name;
    }
    return "none: \"" + name + "\"" + (given.empty() ? " in " + environmentVariable() : "") +
           " is not a USB backend, and a run would stop at once";
}

std::string LxD2xxBackend::notice(const std::string& given) {
    const std::string name = chosen();
    if (given.empty() && name == defaultName()) {
        return {};
    }
    return "USB backend: " + name + " (" + description(name) + ")\n";
}

bool LxD2xxBackend::load(std::string* failure) {
    const std::string reason = d2xxloader::load();
    if (failure && !reason.empty()) {
        *failure = reason;
    }
    return reason.empty();
}
