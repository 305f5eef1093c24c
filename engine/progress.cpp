#include "progress.h"

#include "messages.h"

#include <algorithm>
#include <string>

namespace vobcast {

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
    const HRESULT hr = control->Stop();
    if (FAILED(hr)) msg::Show(msg::kStop);
    return hr;
}

std::int64_t CurrentPos() {
    ConversionState& s = State();
    if (s.completed == 1) return 100;
    ComPtr<media::IMediaEvent> events = s.mediaEvent;
    ComPtr<media::IMediaSeeking> seeking = s.mediaSeeking;
    if (!events || !seeking) return -1;

    long code = 0;
    if (SUCCEEDED(events->WaitForCompletion(0, code))) {
        s.completed = 1;
        // A graph that ended in an error is over too (the run goes on with its
        // next file), but never silently.
        if (code == media::EC_ERRORABORT) {
            msg::Show("Error : \nThe conversion of \"" + s.source + "\" into \"" + s.destination +
                      "\" failed:\n" + events->ErrorText() + "\n");
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
    // Nothing to measure against: the duration could not be read for any
    // conversion yet.
    if (s.duration <= 0) return 0;
    // The multiplexer can run a little past the duration before end of stream
    // arrives; the percentage stays within 0..100. Once 100 has been reported
    // the conversion counts as complete, and keeps reporting 100.
    const std::int64_t percent = std::clamp<std::int64_t>(position * 100 / s.duration, 0, 100);
    if (percent == 100) s.completed = 1;
    return percent;
}

} // namespace vobcast
