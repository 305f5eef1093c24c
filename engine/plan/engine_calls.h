// The engine as a host program calls it: the five conversion functions and
// the host calls of vobcast_host.h. The programs' own calls go to
// libvobcast.so, bound by file name at the first call (BoundEngine); a test
// may put a scripted engine in its place.
#pragma once

#include "engine_binding.h"
#include "vobcast/vobcast_host.h"

#include <cstdint>
#include <memory>
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

    virtual std::int32_t ChooseSource(std::int32_t title, std::int32_t audioStream) = 0;
    virtual std::int32_t ChooseAngle(std::int32_t angle) = 0;
    virtual std::int32_t ChoosePictures(std::int32_t deinterlace, std::int32_t detelecine) = 0;
    virtual std::int32_t ChooseSubtitles(std::int32_t stream, bool forcedOnly) = 0;
    virtual std::int32_t ChooseCrop(std::int32_t top, std::int32_t bottom, std::int32_t left, std::int32_t right) = 0;
    // False when no picture could be decoded.
    virtual bool FindCrop(const std::string& source, VobcastCrop& crop) = 0;
    virtual std::int32_t ChooseSize(std::int32_t pass, const std::string& stats, std::int64_t fileBytes) = 0;
    virtual bool DescribeSource(const std::string& source, VobcastSourceInfo& info) = 0;
    virtual double SourceSeconds() = 0;
    // Null with error set when the disc can't be read.
    virtual std::unique_ptr<VobcastDisc> ReadDisc(const std::string& path, std::string& error) = 0;
};

class BoundEngine final : public EngineCalls {
public:
    BoundEngine() = default;
    explicit BoundEngine(std::string library) : binding_(std::move(library)) {}

    std::int32_t DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                        std::int32_t flag) override {
        return binding_.DoInit(window, source, destination, flag);
    }
    std::int32_t StartComp() override { return binding_.StartComp(); }
    std::int32_t StopComp() override { return binding_.StopComp(); }
    std::int32_t DoUninit() override { return binding_.DoUninit(); }
    std::int64_t GetCurrentPos() override { return binding_.GetCurrentPos(); }

    std::int32_t ChooseSource(std::int32_t title, std::int32_t audioStream) override {
        return binding_.ChooseSource(title, audioStream);
    }
    std::int32_t ChooseAngle(std::int32_t angle) override { return binding_.ChooseAngle(angle); }
    std::int32_t ChoosePictures(std::int32_t deinterlace, std::int32_t detelecine) override {
        return binding_.ChoosePictures(deinterlace, detelecine);
    }
    std::int32_t ChooseSubtitles(std::int32_t stream, bool forcedOnly) override {
        return binding_.ChooseSubtitles(stream, forcedOnly);
    }
    std::int32_t ChooseCrop(std::int32_t top, std::int32_t bottom, std::int32_t left, std::int32_t right) override {
        return binding_.ChooseCrop(top, bottom, left, right);
    }
    bool FindCrop(const std::string& source, VobcastCrop& crop) override { return binding_.FindCrop(source, crop); }
    std::int32_t ChooseSize(std::int32_t pass, const std::string& stats, std::int64_t fileBytes) override {
        return binding_.ChooseSize(pass, stats, fileBytes);
    }
    bool DescribeSource(const std::string& source, VobcastSourceInfo& info) override {
        return binding_.DescribeSource(source, info);
    }
    double SourceSeconds() override { return binding_.SourceSeconds(); }
    std::unique_ptr<VobcastDisc> ReadDisc(const std::string& path, std::string& error) override {
        return binding_.ReadDisc(path, error);
    }

    // The binding itself, for what only a program's own engine has (its
    // message sink and chooser, its compressors).
    vobcast::EngineBinding& Binding() { return binding_; }

private:
    vobcast::EngineBinding binding_;
};
