// Binds the conversion engine (libvobcast.so in the program folder) by file
// name at the first call of any of its five functions, as the program does.
#pragma once

#include "platform/kernel/library.h"

#include <cstdint>
#include <string>

namespace vobcast {

class EngineBinding {
public:
    // library: a path, or a file name looked up in the folder of the running
    // executable.
    explicit EngineBinding(std::string library = "libvobcast.so");
    ~EngineBinding();
    EngineBinding(const EngineBinding&) = delete;
    EngineBinding& operator=(const EngineBinding&) = delete;

    // Each loads the library at first use; when it cannot be loaded, the call
    // returns E_FAIL (-1 for GetCurrentPos) and LoadError() says why.
    std::int32_t DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                        std::int32_t flag);
    std::int32_t StartComp();
    std::int32_t StopComp();
    std::int32_t DoUninit();
    std::int64_t GetCurrentPos();

    bool Loaded() const { return library_.Loaded(); }
    const std::string& LoadError() const { return library_.Error(); }

private:
    kernel::Library library_;
};

// The folder of the running executable, ending in "/".
std::string ProgramFolder();

} // namespace vobcast
