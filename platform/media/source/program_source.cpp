#include "platform/media/source/program_source.h"

#include "platform/media/source/dvd_title.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

} // namespace

std::unique_ptr<SourceBytes> OpenSourceBytes(const ProgramSource& source, std::string& error) {
    if (source.IsTitle()) return OpenTitleBytes(source.path, source.title, source.angle, error);
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(source.path.c_str(), "rb"));
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(ftello(f.get()));
    return std::make_unique<FileBytes>(f.release(), size);
}

} // namespace media
