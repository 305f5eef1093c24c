#include "platform/media/source/program_source.h"

#include "platform/media/source/dvd_title.h"
#include "platform/media/source/stream_probe.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace media {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class FileBytes final : public SourceBytes {
public:
    FileBytes(std::FILE* f, std::uint64_t size) : file_(f), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t bytes) override {
        std::vector<std::uint8_t> data(bytes);
        if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return {};
        data.resize(std::fread(data.data(), 1, bytes, file_.get()));
        return data;
    }

private:
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint64_t size_;
};

std::mutex g_choiceLock;
ProgramSource g_choice;

} // namespace

std::unique_ptr<SourceBytes> OpenSourceBytes(const ProgramSource& source, std::string& error) {
    if (source.IsTitle()) return OpenTitleBytes(source.path, source.title, error);
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(source.path.c_str(), "rb"));
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(ftello(f.get()));
    return std::make_unique<FileBytes>(f.release(), size);
}

GstElement* MakeSourceElement(const ProgramSource& source) {
    if (!source.IsTitle()) {
        GstElement* src = MakeElement("filesrc");
        if (src) g_object_set(src, "location", source.path.c_str(), nullptr);
        return src;
    }
    GstElement* src = MakeElement("dvdreadsrc");
    if (src) g_object_set(src, "device", source.path.c_str(), "title", source.title, nullptr);
    return src;
}

void SetSourceChoice(int title, int audioStream) {
    std::lock_guard guard(g_choiceLock);
    g_choice.title = title;
    g_choice.audioStream = audioStream;
}

void SetFieldChoice(FieldChoice fields) {
    std::lock_guard guard(g_choiceLock);
    g_choice.fields = fields;
}

ProgramSource ChosenSource(std::string path) {
    std::lock_guard guard(g_choiceLock);
    ProgramSource source = g_choice;
    source.path = std::move(path);
    return source;
}

} // namespace media
