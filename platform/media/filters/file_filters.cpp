// "File Source (Async.)" and "File writer".
#include "platform/media/filters/factories.h"
#include "platform/media/filters/splitter.h"
#include "platform/media/graph/filter.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/source/stream_probe.h"

#include "platform/com/text.h"

#include <fcntl.h>
#include <unistd.h>

namespace media {
namespace {

// Reads a file, or the DVD title it was told to take.
class FileSource final : public Filter, public IFileSourceFilter, public IProgramSourceFilter {
public:
    explicit FileSource(const std::u16string& name) : Filter(name) {}

    HRESULT Load(const std::u16string& path, const AmMediaType*) override {
        if (output_) return E_UNEXPECTED;
        ProgramSource source = chosen_;
        source.path = com::WideToAnsi(path);
        // Like the asynchronous reader, a file that cannot be opened gives the
        // filter no output pin.
        const int fd = ::open(source.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return MakeHresult(0x80070000u | static_cast<unsigned>(errno));
        ::close(fd);
        GstElement* src = MakeSourceElement(source);
        if (!src) return E_FAIL;
        gst_bin_add(GST_BIN(bin_.get()), src);
        path_ = path;
        source_ = std::move(source);
        GstPtr<GstPad> pad(gst_element_get_static_pad(src, "src"));
        output_ = AddGhostPin(u"Output", PINDIR_OUTPUT, pad.get());
        return S_OK;
    }

    HRESULT Choose(const ProgramSource& choice) override {
        if (output_) return E_UNEXPECTED;
        chosen_ = choice;
        return S_OK;
    }

    ProgramSource Source() const override { return output_ ? source_ : ProgramSource{}; }

    HRESULT GetCurFile(std::u16string& path) override {
        if (!output_) return E_FAIL;
        path = path_;
        return S_OK;
    }

private:
    Pin* output_ = nullptr;
    std::u16string path_;
    ProgramSource source_;
    ProgramSource chosen_;
};

class FileWriter final : public Filter, public IFileSinkFilter2 {
public:
    explicit FileWriter(const std::u16string& name) : Filter(name) {
        sink_ = MakeElement("filesink");
        // The multiplexer seeks back to write its headers: no buffering
        // surprises, no clock, and the file is written as fast as it comes.
        g_object_set(sink_, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(bin_.get()), sink_);
        GstPtr<GstPad> pad(gst_element_get_static_pad(sink_, "sink"));
        AddGhostPin(u"in", PINDIR_INPUT, pad.get());
    }

    HRESULT SetFileName(const std::u16string& path, const AmMediaType*) override {
        if (path.empty()) return E_INVALIDARG;
        g_object_set(sink_, "location", com::WideToAnsi(path).c_str(), nullptr);
        return S_OK;
    }

    HRESULT SetMode(std::uint32_t flags) override {
        return flags == AM_FILE_OVERWRITE ? S_OK : E_INVALIDARG;
    }

private:
    GstElement* sink_;
};

} // namespace

ComPtr<IBaseFilter> MakeFileSource(const std::u16string& name) {
    return com::Make<FileSource>(name);
}

ComPtr<IBaseFilter> MakeFileWriter(const std::u16string& name) {
    if (!HasFactory("filesink")) return nullptr;
    return com::Make<FileWriter>(name);
}

} // namespace media
