// An engine for tests of host programs: every call recorded, and passed on
// to the real libvobcast.so or answered from a script.
#pragma once

#include "engine_calls.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class RecordingEngine final : public EngineCalls {
public:
    explicit RecordingEngine(bool real) : real_(real ? std::make_unique<BoundEngine>() : nullptr) {}

    std::int32_t DoInit(std::uintptr_t w, const std::string& s, const std::string& d, std::int32_t flag) override {
        calls.push_back("DoInit " + std::to_string(flag));
        sources.push_back(s);
        destinations.push_back(d);
        return real_ ? real_->DoInit(w, s, d, flag) : init_status;
    }
    std::int32_t StartComp() override { return Call("StartComp", &EngineCalls::StartComp); }
    std::int32_t StopComp() override { return Call("StopComp", &EngineCalls::StopComp); }
    std::int32_t DoUninit() override { return Call("DoUninit", &EngineCalls::DoUninit); }
    std::int64_t GetCurrentPos() override {
        if (real_) return real_->GetCurrentPos();
        if (positions.empty()) return 0;
        const std::int64_t p = positions.front();
        positions.pop_front();
        return p;
    }

    // The host calls, recorded with their arguments ("ChooseSource 1 -1").
    std::int32_t ChooseSource(std::int32_t title, std::int32_t audio) override {
        return Host("ChooseSource " + Args(title, audio), [&] { return real_->ChooseSource(title, audio); });
    }
    std::int32_t ChooseAngle(std::int32_t angle) override {
        return Host("ChooseAngle " + Args(angle), [&] { return real_->ChooseAngle(angle); });
    }
    std::int32_t ChoosePictures(std::int32_t deinterlace, std::int32_t detelecine) override {
        return Host("ChoosePictures " + Args(deinterlace, detelecine),
                    [&] { return real_->ChoosePictures(deinterlace, detelecine); });
    }
    std::int32_t ChooseSubtitles(std::int32_t stream, bool forced) override {
        return Host("ChooseSubtitles " + Args(stream, forced ? 1 : 0), [&] { return real_->ChooseSubtitles(stream, forced); });
    }
    std::int32_t ChooseCrop(std::int32_t t, std::int32_t b, std::int32_t l, std::int32_t r) override {
        return Host("ChooseCrop " + Args(t, b, l, r), [&] { return real_->ChooseCrop(t, b, l, r); });
    }
    bool FindCrop(const std::string& source, VobcastCrop& crop) override {
        calls.push_back("FindCrop");
        if (real_) return real_->FindCrop(source, crop);
        crop = found_crop;
        return crop_found;
    }
    std::int32_t ChooseSize(std::int32_t pass, const std::string& stats, std::int64_t bytes) override {
        return Host("ChooseSize " + Args(pass) + " " + std::to_string(bytes), [&] { return real_->ChooseSize(pass, stats, bytes); });
    }
    bool DescribeSource(const std::string& source, VobcastSourceInfo& info) override {
        calls.emplace_back("DescribeSource");
        if (real_) return real_->DescribeSource(source, info);
        info = described;
        return true;
    }
    double SourceSeconds() override { return real_ ? real_->SourceSeconds() : described.seconds; }
    std::unique_ptr<VobcastDisc> ReadDisc(const std::string& path, std::string& error) override {
        calls.emplace_back("ReadDisc");
        if (real_) return real_->ReadDisc(path, error);
        error = "no disc in a scripted engine";
        return nullptr;
    }

    int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

    std::vector<std::string> calls, sources, destinations;
    std::deque<std::int64_t> positions;  // scripted reads
    std::int32_t init_status = 0;
    VobcastSourceInfo described{};  // what a scripted DescribeSource finds
    VobcastCrop found_crop{};       // and FindCrop
    bool crop_found = false;
    std::string refused;  // a host call the engine refuses ("ChooseAngle"), whatever its arguments

private:
    std::int32_t Call(const char* name, std::int32_t (EngineCalls::*fn)()) {
        calls.emplace_back(name);
        return real_ ? (real_.get()->*fn)() : 0;
    }
    template <typename Fn>
    std::int32_t Host(std::string call, Fn real) {
        const bool refuse = !refused.empty() && call.starts_with(refused);
        calls.push_back(std::move(call));
        if (refuse) return static_cast<std::int32_t>(0x80070057u);  // E_INVALIDARG
        return real_ ? real() : 0;
    }
    template <typename... Ints>
    static std::string Args(Ints... values) {
        std::string text;
        ((text += (text.empty() ? "" : " ") + std::to_string(values)), ...);
        return text;
    }
    std::unique_ptr<EngineCalls> real_;
};

} // namespace testing_support
