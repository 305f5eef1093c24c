#include "engine_binding.h"

#include <unistd.h>

#include <climits>

namespace vobcast {
namespace {
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

EngineBinding::EngineBinding(std::string library)
    : library_(library.find('/') == std::string::npos ? ProgramFolder() + library : library) {}

EngineBinding::~EngineBinding() = default;

std::int32_t EngineBinding::DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                                   std::int32_t flag) {
    auto* fn = reinterpret_cast<std::int32_t (*)(std::uintptr_t, const char*, const char*, std::int32_t)>(
        library_.Symbol("DoInit"));
    return fn ? fn(window, source.c_str(), destination.c_str(), flag) : kEFail;
}

std::int32_t EngineBinding::StartComp() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("StartComp"));
    return fn ? fn() : kEFail;
}

std::int32_t EngineBinding::StopComp() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("StopComp"));
    return fn ? fn() : kEFail;
}

std::int32_t EngineBinding::DoUninit() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("DoUninit"));
    return fn ? fn() : kEFail;
}

std::int64_t EngineBinding::GetCurrentPos() {
    auto* fn = reinterpret_cast<std::int64_t (*)()>(library_.Symbol("GetCurrentPos"));
    return fn ? fn() : -1;
}

} // namespace vobcast
