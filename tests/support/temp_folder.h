// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <cstdlib>

namespace testing_support {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "marbleway-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A file in a folder of the process's own, which goes when the process ends.
inline std::string ScratchFile(std::string_view name) {
    static TempFolder folder;
    return folder / name;
}

inline void WriteFile(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Creates the folders above path as needed, then the file.
inline void MakeFile(const std::filesystem::path& path, std::string_view text = {}) {
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path.string(), text);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace testing_support
