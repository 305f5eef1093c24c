#include "graph_build.h"

#include "compressor_choice.h"
#include "messages.h"

#include "platform/com/text.h"
#include "platform/media/filters/factories.h"

#include <cstdio>

namespace vobcast {

using media::Category;

HRESULT AddFilters(std::uintptr_t window, std::int32_t flag) {
    ConversionState& s = State();
    std::string compressor;
    CompressorSettings settings;
    const HRESULT named = CompressorNameStep(window, flag, compressor, settings);
    if (named != S_OK) return named;

    struct Role {
        Category category;
        std::string name;
        ComPtr<media::IBaseFilter>& field;
    };
    Role roles[] = {
        {Category::LegacyAmFilter, "File Source (Async.)", s.fileSource},
        {Category::LegacyAmFilter, "MPEG-2 Splitter", s.splitter},
        {Category::LegacyAmFilter, "Elecard MPEG2 Video Decoder", s.videoDecoder},
        {Category::LegacyAmFilter, "Moonlight Odio Dekoda", s.audioDecoder},
        {Category::VideoCompressor, compressor, s.videoCompressor},
        {Category::AudioCompressor, "Windows Media Audio V2", s.audioCompressor},
        {Category::LegacyAmFilter, "AVI Mux", s.aviMux},
        {Category::LegacyAmFilter, "File writer", s.fileWriter},
    };
    for (Role& role : roles) {
        if (FindFilter(role.category, role.name, role.field) != 0) {
            msg::Show(msg::kGetFilter);
            return E_FAIL;
        }
    }

    // The chooser's key-frame interval and data rate reach the compressor.
    ComPtr<media::IVideoCompression> compression;
    if (SUCCEEDED(com::QueryInterface(s.videoCompressor, compression))) {
        if (settings.keyFrames > 0) compression->SetKeyFrameRate(settings.keyFrames);
        if (settings.dataRateKbps > 0) compression->SetDataRate(settings.dataRateKbps);
    }
    if (s.size.pass != 0) {
        ComPtr<media::ISizePasses> passes;
        if (FAILED(com::QueryInterface(s.videoCompressor, passes)) || passes->SetPasses(s.size) != S_OK) {
            msg::Show("Error : \nThe compressor \"" + compressor +
                      "\" codes in one pass only; coding to a file size needs one that codes in two.\n");
            return E_FAIL;
        }
    }

    for (Role& role : roles) {
        media::FilterInfo info;
        HRESULT hr = role.field ? role.field->QueryFilterInfo(info) : E_POINTER;
        if (hr == S_OK) hr = s.graph ? s.graph->AddFilter(role.field.Get(), info.name) : E_POINTER;
        if (hr != S_OK) {
            msg::Show(msg::kAddToGraph);
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT FindFilter(Category category, const std::string& wanted, ComPtr<media::IBaseFilter>& destination) {
    ComPtr<media::ICreateDevEnum> devices = State().deviceEnum;
    if (!devices) return E_POINTER;
    ComPtr<media::IEnumMoniker> monikers;
    const HRESULT hr = devices->CreateClassEnumerator(category, monikers, 0);
    if (FAILED(hr)) {
        msg::Show(msg::kCreateEnumerator);
        return hr;
    }
    if (!monikers) {
        msg::Show(msg::kNoDevices);
        return S_FALSE;
    }
    for (;;) {
        ComPtr<media::IMoniker> moniker;
        if (monikers->Next(moniker) != S_OK) {
            msg::Show(msg::kFilterNotFound);
            return S_FALSE;
        }
        ComPtr<media::IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(bag))) continue;
        std::u16string name;
        if (FAILED(bag->Read(u"FriendlyName", name))) continue;
        // The first read only tells that the property is there; the second one
        // is the value compared.
        name.clear();
        if (FAILED(bag->Read(u"FriendlyName", name))) {
            msg::Show(msg::kFriendlyName);
            continue;
        }
        if (com::WideToAnsi(name) == wanted) return moniker->BindToObject(destination);
    }
}

HRESULT AttachFiles(const char* source, const char* destination) {
    ConversionState& s = State();
    const std::u16string wideSource = com::AnsiToWide(source);
    const std::u16string wideDestination = com::AnsiToWide(destination);

    ComPtr<media::IFileSourceFilter> reader;
    HRESULT hr = com::QueryInterface(s.fileSource, reader);
    if (FAILED(hr)) {
        msg::Show(msg::kAttachSource);
        return hr;
    }
    ComPtr<media::IProgramSourceFilter> program;
    if (SUCCEEDED(com::QueryInterface(s.fileSource, program))) program->Choose(s.choice);
    reader->Load(wideSource, nullptr);
    reader.Reset();

    ComPtr<media::IFileSinkFilter2> writer;
    hr = com::QueryInterface(s.fileWriter, writer);
    if (FAILED(hr)) {
        msg::Show(msg::kAttachDestination);
        return hr;
    }
    writer->SetFileName(wideDestination, nullptr);
    // An existing destination is replaced whole, never written over in place.
    writer->SetMode(media::AM_FILE_OVERWRITE);
    return S_OK;
}

HRESULT ConnectFilters() {
    ConversionState& s = State();
    struct Connection {
        ComPtr<media::IBaseFilter>& from;
        const char* out;
        ComPtr<media::IBaseFilter>& to;
        const char* in;
    };
    const Connection connections[] = {
        {s.fileSource, "Output", s.splitter, "Input"},
        {s.splitter, "Video", s.videoDecoder, "MPEG In"},
        {s.splitter, "AC3", s.audioDecoder, "MPEG / AC-3 / LPCM in"},
        {s.videoDecoder, "Video Out", s.videoCompressor, "Input"},
        {s.audioDecoder, "PCM out", s.audioCompressor, "Input"},
        {s.videoCompressor, "Output", s.aviMux, "Input 01"},
        {s.audioCompressor, "Output", s.aviMux, "Input 02"},
        {s.aviMux, "AVI Out", s.fileWriter, "in"},
    };
    for (const Connection& c : connections) {
        const HRESULT hr = ConnectPins(c.from.Get(), c.out, c.to.Get(), c.in);
        // An encrypted source has been named in its own message.
        if (hr == media::VFW_E_SOURCE_ENCRYPTED) return hr;
        if (hr != 0) {
            msg::Show(msg::kConnectPins);
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT ConnectPins(media::IBaseFilter* outFilter, const char* outPin, media::IBaseFilter* inFilter,
                    const char* inPin) {
    ComPtr<media::IPin> out;
    HRESULT hr = FindPin(outFilter, media::PINDIR_OUTPUT, outPin, out);
    if (FAILED(hr)) return hr;
    ComPtr<media::IPin> in;
    if (FAILED(FindPin(inFilter, media::PINDIR_INPUT, inPin, in))) return E_FAIL;

    ComPtr<media::IGraphBuilder> graph = State().graph;
    hr = graph ? graph->ConnectDirect(out.Get(), in.Get(), nullptr) : E_POINTER;
    if (hr == 0) {
        std::fwrite(msg::kConnectTrace.data(), 1, msg::kConnectTrace.size(), stdout);
        std::fflush(stdout);
    } else if (hr == media::VFW_E_SOURCE_ENCRYPTED) {
        msg::Show("Error : \nThe file \"" + State().source +
                  "\" is encrypted (CSS): its sectors are scrambled and cannot be decoded. It must be decrypted "
                  "first: copy the disc with a DVD copying program that decrypts it, then convert the copy.\n");
    } else {
        msg::Show(msg::kDirectConnect);
    }
    return hr;
}

HRESULT FindPin(media::IBaseFilter* filter, media::PinDirection direction, const char* wanted,
                ComPtr<media::IPin>& pin) {
    pin.Reset();
    ComPtr<media::IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins))) {
        msg::Show(msg::kPinNotFound);
        return E_FAIL;
    }
    for (;;) {
        ComPtr<media::IPin> candidate;
        if (pins->Next(candidate) != S_OK) {
            msg::Show(msg::kPinNotFound);
            return E_FAIL;
        }
        media::PinDirection dir{};
        media::PinInfo info;
        candidate->QueryDirection(dir);
        candidate->QueryPinInfo(info);
        info.filter.Reset();
        if (dir == direction && com::WideToAnsi(info.name) == wanted) {
            pin = candidate;
            return S_OK;
        }
    }
}

} // namespace vobcast
