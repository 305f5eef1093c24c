// The filters of the catalogue. Each factory returns null when a GStreamer
// element it needs is not installed.
#pragma once

#include "platform/media/elements/mpeg4_encoder.h"
#include "platform/media/graph/interfaces.h"
#include "platform/media/source/program_source.h"

namespace media {

// What a video compressor is set to when nobody says otherwise.
constexpr long kDefaultDataRateKbps = kEncoderDefaultKbps;
constexpr long kDefaultKeyFrames = kEncoderDefaultKeyFrames;  // a key frame at least every this many frames

// How one installed video encoder becomes a DirectShow video compressor.
struct VideoEncoderInfo {
    const char* description;   // friendly name and compressor description
    const char* fourcc;        // what the AVI stream header will carry
    const char* element;       // GStreamer factory
    const char* properties;    // fixed properties, gst-launch syntax
    const char* keyFrameProperty;  // null when every frame is a key frame
    const char* bitrateProperty;   // null when the encoder has no rate control
    long bitrateUnit;              // bit/s per unit of bitrateProperty
    const char* outputCaps;        // caps to tag the stream with for the AVI writer, or null
};

// What "File Source (Async.)" reads: its file, or the DVD title it was told to take.
class IProgramSourceFilter : public virtual com::Unknown {
public:
    // What the next Load reads beside its path: a title, its sound, how the
    // pictures are made progressive.
    virtual HRESULT Choose(const ProgramSource& choice) = 0;
    // An empty path before a successful Load.
    virtual ProgramSource Source() const = 0;
};

ComPtr<IBaseFilter> MakeFileSource(const std::u16string& friendlyName);
ComPtr<IBaseFilter> MakeMpeg2Splitter(const std::u16string& friendlyName);
ComPtr<IBaseFilter> MakeMpeg2VideoDecoder(const std::u16string& friendlyName);
ComPtr<IBaseFilter> MakeAudioDecoder(const std::u16string& friendlyName);
// What an AVI file of a given size holds beside its video, for two passes to
// that size: the sound's and the chunks' bits a second, and the headers'
// bytes.
long SizeOtherBitrate();
long SizeHeaderBytes();

ComPtr<IBaseFilter> MakeVideoCompressor(const std::u16string& friendlyName, const VideoEncoderInfo& spec);
ComPtr<IBaseFilter> MakeWmaV2Compressor(const std::u16string& friendlyName);
ComPtr<IBaseFilter> MakeAviMux(const std::u16string& friendlyName);
ComPtr<IBaseFilter> MakeFileWriter(const std::u16string& friendlyName);

} // namespace media
