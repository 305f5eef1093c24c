// The host calls for one conversion, in the order the engine takes them:
// what to read and how before the first pass (finding the crop where asked),
// the size checked, and for a size its two passes, the first measuring into a
// file of its own. The caller runs each pass (DoInit, StartComp, polling,
// StopComp, DoUninit) as suits it: a worker process's loop, a window's timer.
#pragma once

#include "engine_calls.h"

#include <array>
#include <string>

namespace vobcast::plan {

struct ConversionChoices {
    int title = 0;            // of the DVD at the source; 0 for a file
    int angle = 0;            // 1-based; 0 the first
    int audioStream = -1;     // DVD stream number; -1 the engine's choice
    int subtitleStream = -1;  // DVD subpicture stream; -1 none
    bool forcedSubtitles = false;
    int deinterlace = 0;  // as VobcastChoosePictures takes them
    int detelecine = 0;
    bool cropAuto = false;           // find the black bars
    std::array<int, 4> crop{};       // top, bottom, left, right, when not found
    double sizeMB = 0;               // two passes to this size; 0 one pass
};

class ConversionSteps {
public:
    ConversionSteps(EngineCalls& engine, std::string source, ConversionChoices choices);
    ~ConversionSteps();
    ConversionSteps(const ConversionSteps&) = delete;
    ConversionSteps& operator=(const ConversionSteps&) = delete;

    enum class Outcome { Ready, CantAsk, Refused };
    struct Prepared {
        Outcome outcome = Outcome::Ready;
        // CantAsk: what the engine would not take; Refused: why the source
        // can't be converted so, in words a user can act on.
        std::string text;
        // Said on the way, the conversion going ahead: that no picture could
        // be decoded to find black bars.
        std::string note;
    };
    // Chooses everything the engine reads the source by, finding the crop
    // first where asked, and checks a size against the source's length.
    Prepared Prepare();

    // The crop chosen (found, or as given), with the pictures' size where it
    // was found.
    const VobcastCrop& Crop() const { return crop_; }
    bool CropFound() const { return cropFound_; }
    // The video data rate a size leaves (for the compressor chooser), 0 when
    // there is no size or no length to share it over.
    long SizeKbps() const { return sizeKbps_; }

    int Passes() const { return choices_.sizeMB > 0 ? 2 : 1; }
    // Before pass (1-based): chooses again what the engine forgot when the
    // last pass ended, and the size's pass. The file the pass writes
    // (destination, or "/dev/null" for a first pass's measure); empty with
    // problem set when the pass can't be set up.
    std::string BeginPass(int pass, const std::string& destination, std::string& problem);
    // The whole conversion's percentage when pass stands at percent.
    long Percent(int pass, long percent) const;

private:
    // The choices made again; "" or what the engine would not take.
    std::string Choose();

    EngineCalls& engine_;
    std::string source_;
    ConversionChoices choices_;
    VobcastCrop crop_{};
    bool cropFound_ = false;
    long sizeKbps_ = 0;
    std::string stats_;  // the first pass's measure, removed with this
};

} // namespace vobcast::plan
