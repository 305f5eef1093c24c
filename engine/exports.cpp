// The five exports and DoInit's order of steps.
#include "vobcast/vobcast.h"

#include "conversion_state.h"
#include "graph_build.h"
#include "messages.h"
#include "progress.h"

#include "platform/com/apartment.h"

namespace {

using namespace vobcast;

HRESULT Fail(ConversionState& s, std::string_view message, HRESULT hr) {
    msg::Show(message);
    ReleaseTheFour(s);
    return hr;
}

} // namespace

extern "C" {

int32_t DoInit(uintptr_t window, const char* source, const char* destination, int32_t flag) {
    ConversionState& s = State();
    // DoInit never builds over a held conversion: what an earlier DoInit left
    // is released first, as DoUninit would, so nothing leaks and no old graph
    // runs on. On an empty state this releases nothing.
    ReleaseAll(s);
    msg::ForgetShown();
    s.source = source ? source : "";
    s.destination = destination ? destination : "";

    HRESULT hr = com::CoInitialize();
    if (FAILED(hr)) {
        msg::Show(msg::kComInit);
        return hr;
    }
    hr = media::CreateFilterGraph(s.graph);
    if (FAILED(hr)) {
        msg::Show(msg::kGraphBuilder);
        return hr;
    }
    hr = media::CreateSystemDeviceEnum(s.deviceEnum);
    if (FAILED(hr)) return Fail(s, msg::kDevEnum, hr);
    hr = com::QueryInterface(s.graph, s.mediaControl);
    if (FAILED(hr)) return Fail(s, msg::kMediaControl, hr);
    hr = com::QueryInterface(s.graph, s.mediaEvent);
    if (FAILED(hr)) return Fail(s, msg::kMediaEvent, hr);

    hr = AddFilters(window, flag);
    if (FAILED(hr)) {
        if (hr == E_NO_COMPRESSOR) {
            ReleaseTheFour(s);
            return hr;
        }
        return Fail(s, msg::kAddFilters, hr);
    }
    hr = AttachFiles(s.source.c_str(), s.destination.c_str());
    if (FAILED(hr)) return Fail(s, msg::kAttachFile, hr);
    hr = ConnectFilters();
    if (hr == media::VFW_E_SOURCE_ENCRYPTED) {
        ReleaseTheFour(s);
        return hr;
    }
    if (FAILED(hr)) return Fail(s, msg::kConnectFilters, hr);
    hr = QuerySeeking();
    if (FAILED(hr)) return Fail(s, msg::kQuerySeeking, hr);
    RecordDuration();
    return 0;
}

int32_t StartComp(void) { return Start(); }

int32_t StopComp(void) { return Stop(); }

int32_t DoUninit(void) {
    ReleaseAll(State());
    // A chosen title holds for one conversion; the next source is a file again,
    // its pictures judged by themselves.
    State().choice = {};
    State().size = {};
    com::CoUninitialize();
    return 0;
}

int64_t GetCurrentPos(void) { return CurrentPos(); }

} // extern "C"
