#include "progress.h"

#include "messages.h"

#include <algorithm>
#include <string>

namespace vobcast {
namespace {

// A running graph in which nothing has moved this long is stuck (a source
// that can't be decoded, a device that stopped answering). A stream that
// stands still while the others go on (a picture held over its sound) is not.
constexpr auto kStallLimit = std::chrono::seconds(15);

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Shows why the graph ended before its end of stream; the run goes on with
// its next file.
void ShowStall(ConversionState& s) {
    std::string stream = "its";
    ComPtr<media::IStreamPositions> positions;
    if (SUCCEEDED(com::QueryInterface(s.aviMux, positions))) {
        const std::string slowest = positions->SlowestStream();
        if (!slowest.empty()) stream = "the " + slowest;
    }
    s.failureShown = true;
    msg::Show("Error : \nThe conversion of " + Quoted(s.source) + " into " + Quoted(s.destination) +
              " stalled: " + stream + " stream has not moved for " + std::to_string(kStallLimit.count()) +
              " seconds. The file may be damaged or unreadable.\n");
}

} // namespace

HRESULT QuerySeeking() {
    ConversionState& s = State();
    return com::QueryInterface(s.aviMux, s.mediaSeeking);
}

void RecordDuration() {
    ConversionState& s = State();
    std::uint32_t caps = media::AM_SEEKING_CanGetDuration;
    if (FAILED(s.mediaSeeking->CheckCapabilities(caps))) {
        msg::Show(msg::kCheckCapabilities);
        return;
    }
    s.mediaSeeking->GetDuration(s.duration);
}

HRESULT Start() {
    ConversionState& s = State();
    s.completed = 0;
    s.reportedPercent = 0;
    s.lastPosition = -1;
    s.lastMove = std::chrono::steady_clock::now();
    s.failureShown = false;
    // Held for the whole call: a box can let a nested DoUninit empty the state.
    ComPtr<media::IMediaControl> control = s.mediaControl;
    if (!control) return E_FAIL;
    const HRESULT hr = control->Run();
    if (FAILED(hr)) msg::Show(msg::kRun);
    return hr;
}

HRESULT Stop() {
    ComPtr<media::IMediaControl> control = State().mediaControl;
    if (!control) return E_FAIL;
    // Bounded: a graph that can't finish its file is torn down, and fails.
    const HRESULT hr = control->Stop();
    if (FAILED(hr) && !State().failureShown) msg::Show(msg::kStop);
    return hr;
}

std::int64_t CurrentPos() {
    ConversionState& s = State();
    if (s.completed == 1) return 100;
    ComPtr<media::IMediaEvent> events = s.mediaEvent;
    ComPtr<media::IMediaSeeking> seeking = s.mediaSeeking;
    if (!events || !seeking) return -1;

    long code = 0;
    const HRESULT ended = events->WaitForCompletion(0, code);
    if (SUCCEEDED(ended)) {
        s.completed = 1;
        // A graph that ended in an error is over too (the run goes on with its
        // next file), but never silently.
        if (code == media::EC_ERRORABORT) {
            s.failureShown = true;
            msg::Show("Error : \nThe conversion of " + Quoted(s.source) + " into " + Quoted(s.destination) +
                      " failed:\n" + events->ErrorText() + "\n");
        }
        return 100;
    }

    std::uint32_t caps = media::AM_SEEKING_CanGetCurrentPos;
    if (FAILED(seeking->CheckCapabilities(caps))) {
        msg::Show(msg::kCantGetPosition);
        return -1;
    }
    std::int64_t position = 0;
    if (FAILED(seeking->GetCurrentPosition(position))) {
        msg::Show(msg::kGetPosition);
        return -1;
    }
    const auto now = std::chrono::steady_clock::now();
    ComPtr<media::IStreamPositions> streams;
    const std::int64_t moved = SUCCEEDED(com::QueryInterface(s.aviMux, streams))
                                   ? static_cast<std::int64_t>(streams->Activity())
                                   : position;
    if (moved != s.lastPosition) {
        s.lastPosition = moved;
        s.lastMove = now;
    } else if (ended == E_ABORT && now - s.lastMove >= kStallLimit) {
        ShowStall(s);
        s.completed = 1;
        return 100;
    }
    // Nothing to measure against: the duration could not be read for any
    // conversion yet.
    if (s.duration <= 0) return s.reportedPercent;
    // 100 means the end of stream has reached the file writer, and nothing
    // else does: a duration misjudged (a clock that starts again part-way
    // through the file) must not end the conversion early. The percentage
    // never goes back.
    const std::int64_t percent = std::clamp<std::int64_t>(position * 100 / s.duration, 0, 99);
    s.reportedPercent = std::max(s.reportedPercent, percent);
    return s.reportedPercent;
}

} // namespace vobcast
