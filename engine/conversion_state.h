// The library-wide state of the one conversion the engine holds.
#pragma once

#include "platform/media/graph/interfaces.h"
#include "platform/media/source/program_source.h"
#include "vobcast/vobcast.h"

#include <chrono>
#include <cstdint>
#include <set>
#include <string>

namespace vobcast {

using com::ComPtr;

constexpr HRESULT E_NO_COMPRESSOR = VOBCAST_E_NO_COMPRESSOR;

// What the user set in the compressor chooser, remembered with its name.
struct CompressorSettings {
    long keyFrames = 0;     // 0: the compressor's default
    long dataRateKbps = 0;  // 0: the compressor's default
};

struct ConversionState {
    ComPtr<media::IGraphBuilder> graph;
    ComPtr<media::ICreateDevEnum> deviceEnum;
    ComPtr<media::IMediaControl> mediaControl;
    ComPtr<media::IMediaEvent> mediaEvent;

    ComPtr<media::IBaseFilter> fileSource;
    ComPtr<media::IBaseFilter> splitter;
    ComPtr<media::IBaseFilter> videoDecoder;
    ComPtr<media::IBaseFilter> audioDecoder;
    ComPtr<media::IBaseFilter> videoCompressor;
    ComPtr<media::IBaseFilter> audioCompressor;
    ComPtr<media::IBaseFilter> aviMux;
    ComPtr<media::IBaseFilter> fileWriter;

    ComPtr<media::IMediaSeeking> mediaSeeking;

    // How the running conversion has moved: the percentage reported last (it
    // never goes back) and when the multiplexer's position last changed.
    std::int64_t reportedPercent = 0;
    std::int64_t lastPosition = -1;  // or the graph's activity count, where the multiplexer keeps one
    std::chrono::steady_clock::time_point lastMove{};
    // The conversion has been said to have failed (a stall, an error in the
    // graph): a stop that can't finish its file then needs no word of its own.
    bool failureShown = false;

    // These survive from one conversion to the next.
    std::int64_t duration = 0;
    std::int32_t completed = 0;
    char compressorName[128] = {};
    CompressorSettings compressorSettings;

    // What the next conversion reads of its source beside the path (a DVD
    // title, its sound, the pictures' treatment), as the host chose it; it
    // holds for one conversion.
    media::ProgramSource choice;
    // How the video compressor spends its bits: one pass, or which of two.
    media::SizePasses size;

    // The files of the current conversion, for messages that name them.
    std::string source;
    std::string destination;
    // Messages already shown in this conversion: a polled failure is shown once.
    std::set<std::string, std::less<>> shown;
};

ConversionState& State();

// Empties the graph manager and its three companions (events, control,
// enumerator, graph, in that order), as a failed DoInit does.
void ReleaseTheFour(ConversionState& state);
// Empties every reference in DoUninit's order.
void ReleaseAll(ConversionState& state);

} // namespace vobcast
