// The five engine functions as the job runner calls them. The program's own
// calls go to libvobcast.so, bound by file name at the first call; a test may
// put a scripted engine in its place.
#pragma once

#include "engine_binding.h"

#include <cstdint>
#include <string>

class EngineCalls {
public:
    virtual ~EngineCalls() = default;
    virtual std::int32_t DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                                std::int32_t flag) = 0;
    virtual std::int32_t StartComp() = 0;
    virtual std::int32_t StopComp() = 0;
    virtual std::int32_t DoUninit() = 0;
    virtual std::int64_t GetCurrentPos() = 0;
};

class BoundEngine final : public EngineCalls {
public:
    std::int32_t DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                        std::int32_t flag) override {
        return binding_.DoInit(window, source, destination, flag);
    }
    std::int32_t StartComp() override { return binding_.StartComp(); }
    std::int32_t StopComp() override { return binding_.StopComp(); }
    std::int32_t DoUninit() override { return binding_.DoUninit(); }
    std::int64_t GetCurrentPos() override { return binding_.GetCurrentPos(); }

private:
    vobcast::EngineBinding binding_;
};
