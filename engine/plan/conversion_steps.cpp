#include "conversion_steps.h"

#include "size_plan.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace vobcast::plan {

ConversionSteps::ConversionSteps(EngineCalls& engine, std::string source, ConversionChoices choices)
    : engine_(engine), source_(std::move(source)), choices_(choices) {
    crop_.top = choices_.crop[0];
    crop_.bottom = choices_.crop[1];
    crop_.left = choices_.crop[2];
    crop_.right = choices_.crop[3];
}

ConversionSteps::~ConversionSteps() {
    if (!stats_.empty()) ::unlink(stats_.c_str());
}

std::string ConversionSteps::Choose() {
    const ConversionChoices& c = choices_;
    if (engine_.ChooseSource(c.title, c.audioStream) != 0)
        return "title " + std::to_string(c.title) + " or audio stream " + std::to_string(c.audioStream) +
               " can't be chosen";
    if (engine_.ChooseAngle(c.angle) != 0) return "angle " + std::to_string(c.angle) + " can't be chosen";
    if (engine_.ChoosePictures(c.deinterlace, c.detelecine) != 0)
        return "the engine can't be told how to make the pictures progressive";
    if (engine_.ChooseSubtitles(c.subtitleStream, c.forcedSubtitles) != 0)
        return "subpicture stream " + std::to_string(c.subtitleStream) + " can't be chosen";
    if (engine_.ChooseCrop(crop_.top, crop_.bottom, crop_.left, crop_.right) != 0) return "the crop can't be chosen";
    return {};
}

ConversionSteps::Prepared ConversionSteps::Prepare() {
    Prepared p;
    if (p.text = Choose(); !p.text.empty()) {
        p.outcome = Outcome::CantAsk;
        return p;
    }
    if (choices_.cropAuto) {
        if (engine_.FindCrop(source_, crop_)) {
            cropFound_ = true;
        } else {
            p.note = source_ + ": no picture could be decoded to find black bars; the pictures stay whole";
            crop_ = VobcastCrop{};
        }
        if (p.text = Choose(); !p.text.empty()) {
            p.outcome = Outcome::CantAsk;
            return p;
        }
    } else if (crop_.top + crop_.bottom + crop_.left + crop_.right > 0) {
        // A crop by hand must leave a picture; the pictures' size is read from a few of them.
        VobcastCrop size{};
        constexpr int kLeast = 16;
        if (engine_.FindCrop(source_, size) &&
            (crop_.top + crop_.bottom > size.height - kLeast || crop_.left + crop_.right > size.width - kLeast)) {
            p.outcome = Outcome::Refused;
            p.text = "--crop cuts more than its " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                     " pictures leave (at least " + std::to_string(kLeast) + " rows and columns must stay)";
            return p;
        }
    }
    if (choices_.sizeMB > 0) {
        VobcastSourceInfo info{};
        if (engine_.DescribeSource(source_, info)) {
            if (std::string small = SizeTooSmall(choices_.sizeMB, info.seconds); !small.empty()) {
                p.outcome = Outcome::Refused;
                p.text = std::move(small);
                return p;
            }
            // The rate the first pass measures near, and the one the file's
            // header names.
            if (info.seconds > 0) sizeKbps_ = std::lround(VideoKbps(choices_.sizeMB, info.seconds));
        }
    }
    return p;
}

std::string ConversionSteps::BeginPass(int pass, const std::string& destination, std::string& problem) {
    if (pass > 1) {
        if (problem = Choose(); !problem.empty()) return {};
    }
    if (Passes() == 1) return destination;
    if (stats_.empty()) {
        std::string name = (std::filesystem::temp_directory_path() / "vobcast-pass-XXXXXX").string();
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            problem = std::string("no temporary file for the first pass: ") + std::strerror(errno);
            return {};
        }
        ::close(fd);
        stats_ = name;
    }
    const auto bytes = pass == 2 ? static_cast<std::int64_t>(choices_.sizeMB * 1e6) : 0;
    if (engine_.ChooseSize(pass, stats_, bytes) != 0) {
        problem = "the engine can't be told the size's pass " + std::to_string(pass);
        return {};
    }
    return pass == 1 ? "/dev/null" : destination;
}

long ConversionSteps::Percent(int pass, long percent) const {
    if (Passes() == 1) return percent;
    return pass == 1 ? percent * kFirstPassPercent / 100 : kFirstPassPercent + percent * (100 - kFirstPassPercent) / 100;
}

} // namespace vobcast::plan
