#include "directory.h"

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace shell {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

enum class Want { Files, Folders };

// What an entry is, following a link to what it names; d_type when it tells.
bool Is(const std::string& folder, const dirent& e, Want want) {
    if (e.d_type == DT_REG) return want == Want::Files;
    if (e.d_type == DT_DIR) return want == Want::Folders;
    if (e.d_type != DT_LNK && e.d_type != DT_UNKNOWN) return false;
    struct stat st {};
    if (::stat((folder + "/" + e.d_name).c_str(), &st) != 0) return false;
    return want == Want::Files ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
}

Listing List(const std::string& folder, Want want, const std::string& pattern) {
    Listing listing;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        listing.ok = false;
        return listing;
    }
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (want == Want::Folders && name.front() == '.') continue;
        if (want == Want::Files && !MatchesPattern(name, pattern)) continue;
        if (Is(folder, *e, want)) listing.names.push_back(name);
    }
    // readdir gives the file system's hash order: VTS_01_2.VOB may come
    // before VTS_01_1.VOB, and the film would be converted second part first.
    std::sort(listing.names.begin(), listing.names.end(), NameBefore);
    return listing;
}

} // namespace

bool NameBefore(const std::string& a, const std::string& b) {
    const auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = upper(static_cast<unsigned char>(a[i])), y = upper(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0;
}

Listing ListFiles(const std::string& folder, const std::string& pattern) { return List(folder, Want::Files, pattern); }

Listing ListFolders(const std::string& folder) { return List(folder, Want::Folders, {}); }

std::optional<FolderId> IdentifyFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace shell
