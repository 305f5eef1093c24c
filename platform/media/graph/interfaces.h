// The DirectShow interfaces the engine calls: graph manager, system device
// enumerator with its categories, monikers and property bags, filters and
// pins, file source and file sink, media control, media event and media
// seeking. The implementation runs each graph as one GStreamer pipeline.
//
// Strings that DirectShow passes as wide text are std::u16string here. Every
// interface is reference counted (com::Unknown); out-parameters are ComPtrs
// that hold one new reference on success and are empty on failure.
#pragma once

#include "platform/com/unknown.h"

#include <cstdint>
#include <string>

namespace media {

using com::ComPtr;

// The source's payload is scrambled (CSS): it can be demultiplexed but not
// decoded. Not a DirectShow code; the splitter refuses such an input with it.
constexpr HRESULT VFW_E_SOURCE_ENCRYPTED = MakeHresult(0x80040300u);

enum class Category {
    LegacyAmFilter,   // CLSID_LegacyAmFilterCategory
    VideoCompressor,  // CLSID_VideoCompressorCategory
    AudioCompressor,  // CLSID_AudioCompressorCategory
};

enum PinDirection : int { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

// Media types are never proposed by the engine; the parameter exists so that
// calls keep their DirectShow shape.
struct AmMediaType;

class IBaseFilter;

struct FilterInfo {
    std::u16string name;
    bool inGraph = false;
};

struct PinInfo {
    ComPtr<IBaseFilter> filter;  // the pin's owner, one reference
    PinDirection dir = PINDIR_INPUT;
    std::u16string name;
};

class IPin : public virtual com::Unknown {
public:
    virtual HRESULT QueryDirection(PinDirection& dir) = 0;
    virtual HRESULT QueryPinInfo(PinInfo& info) = 0;
};

class IEnumPins : public virtual com::Unknown {
public:
    // S_OK with the next pin, S_FALSE when there is none left.
    virtual HRESULT Next(ComPtr<IPin>& pin) = 0;
};

class IBaseFilter : public virtual com::Unknown {
public:
    virtual HRESULT QueryFilterInfo(FilterInfo& info) = 0;
    virtual HRESULT EnumPins(ComPtr<IEnumPins>& pins) = 0;
};

class IGraphBuilder : public virtual com::Unknown {
public:
    // An empty name lets the graph use the filter's own; a taken name gets " 0001" and so on.
    virtual HRESULT AddFilter(IBaseFilter* filter, const std::u16string& name) = 0;
    // Links two pins of filters in this graph with nothing in between. mt must be null.
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AmMediaType* mt) = 0;
};

class IMediaControl : public virtual com::Unknown {
public:
    // S_OK when running, S_FALSE while the change to running is still under way.
    virtual HRESULT Run() = 0;
    // Drains a running graph (end of stream reaches every sink, so files are
    // finalised) within a bounded wait, then stops it.
    virtual HRESULT Stop() = 0;
};

// Event codes of IMediaEvent.
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;

class IMediaEvent : public virtual com::Unknown {
public:
    // S_OK with EC_COMPLETE or EC_ERRORABORT once the running graph has ended;
    // E_ABORT when it has not ended within timeoutMs; VFW_E_WRONG_STATE when it
    // is not running.
    virtual HRESULT WaitForCompletion(long timeoutMs, long& evCode) = 0;
    // After EC_ERRORABORT: what went wrong, in words fit for a user (it names
    // the file where the framework knows it). Not a DirectShow method.
    virtual std::string ErrorText() = 0;
};

// Seeking capability bits.
constexpr std::uint32_t AM_SEEKING_CanGetCurrentPos = 0x08;
constexpr std::uint32_t AM_SEEKING_CanGetDuration = 0x20;

class IMediaSeeking : public virtual com::Unknown {
public:
    // S_OK when every asked capability is there, S_FALSE when some are (caps then
    // holds those), E_FAIL when none.
    virtual HRESULT CheckCapabilities(std::uint32_t& caps) = 0;
    // Both in reference time, units of 100 nanoseconds.
    virtual HRESULT GetDuration(std::int64_t& duration) = 0;
    virtual HRESULT GetCurrentPosition(std::int64_t& position) = 0;
};

// Which of a multiplexer's inputs has come least far: "video" or "audio", or
// empty when all have ended. Not a DirectShow interface.
class IStreamPositions : public virtual com::Unknown {
public:
    virtual std::string SlowestStream() = 0;
    // Grows whenever data leaves the multiplexer for the file: a graph whose
    // count stands still has stopped moving, wherever its data waits.
    virtual std::uint64_t Activity() = 0;
};

class IFileSourceFilter : public virtual com::Unknown {
public:
    // Opens the file for reading; the output pin exists only after a Load that succeeded.
    virtual HRESULT Load(const std::u16string& path, const AmMediaType* mt) = 0;
    virtual HRESULT GetCurFile(std::u16string& path) = 0;
};

constexpr std::uint32_t AM_FILE_OVERWRITE = 0x01;

class IFileSinkFilter2 : public virtual com::Unknown {
public:
    virtual HRESULT SetFileName(const std::u16string& path, const AmMediaType* mt) = 0;
    // The writer replaces an existing file whole when writing starts
    // (AM_FILE_OVERWRITE). The mode without that flag, which wrote over a file
    // in place and left the tail of an older, longer file behind the new one,
    // is refused with E_INVALIDARG.
    virtual HRESULT SetMode(std::uint32_t flags) = 0;
};

// Encoder settings of a video compressor filter (after IAMVideoCompression).
class IVideoCompression : public virtual com::Unknown {
public:
    virtual HRESULT SetKeyFrameRate(long frames) = 0;        // a key frame at least every N frames
    virtual HRESULT SetDataRate(long kilobitsPerSecond) = 0;  // target average rate
};

// Two passes over one source: the first measures what each picture costs to
// code, the second spends a file's bytes over the pictures by that measure.
struct SizePasses {
    int pass = 0;            // 0: one pass at the data rate
    std::string stats;       // the file the first pass leaves its measure in
    std::int64_t fileBytes = 0;  // the whole file, in the second pass
};

class ISizePasses : public virtual com::Unknown {
public:
    // E_NOTIMPL when the compressor codes in one pass only.
    virtual HRESULT SetPasses(const SizePasses& passes) = 0;
};

class IPropertyBag : public virtual com::Unknown {
public:
    // Reads a text property ("FriendlyName"); E_INVALIDARG for an unknown name.
    virtual HRESULT Read(const std::u16string& name, std::u16string& value) = 0;
};

class IMoniker : public virtual com::Unknown {
public:
    virtual HRESULT BindToStorage(ComPtr<IPropertyBag>& bag) = 0;
    virtual HRESULT BindToObject(ComPtr<IBaseFilter>& filter) = 0;
};

class IEnumMoniker : public virtual com::Unknown {
public:
    virtual HRESULT Next(ComPtr<IMoniker>& moniker) = 0;
};

class ICreateDevEnum : public virtual com::Unknown {
public:
    // S_OK with an enumerator, or S_FALSE and no enumerator for an empty category.
    virtual HRESULT CreateClassEnumerator(Category category, ComPtr<IEnumMoniker>& out, std::uint32_t flags) = 0;
};

// CoCreateInstance of CLSID_FilterGraph and CLSID_SystemDeviceEnum.
HRESULT CreateFilterGraph(ComPtr<IGraphBuilder>& out);
HRESULT CreateSystemDeviceEnum(ComPtr<ICreateDevEnum>& out);

} // namespace media
