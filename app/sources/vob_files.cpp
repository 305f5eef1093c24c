#include "vob_files.h"

#include "file_search.h"
#include "path_text.h"

#include <algorithm>
#include <cctype>

namespace {

std::string UpperName(const std::string& path) {
    std::string name = GetFileName(path);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

} // namespace

bool IsMenuFile(const std::string& path) {
    const std::string name = UpperName(path);
    return name == "VIDEO_TS.VOB" || name == "VTS_01_0.VOB";
}

int TitleSetNumber(const std::string& path) {
    const std::string name = UpperName(path);
    const auto digit = [&](std::size_t at) { return std::isdigit(static_cast<unsigned char>(name[at])) != 0; };
    if (name.size() != 12 || !name.starts_with("VTS_") || !digit(4) || !digit(5) || name[6] != '_' || !digit(7) ||
        !name.ends_with(".VOB"))
        return -1;
    return (name[4] - '0') * 10 + (name[5] - '0');
}

bool IsTitleSetMenu(const std::string& path) { return TitleSetNumber(path) >= 0 && UpperName(path).ends_with("_0.VOB"); }

std::vector<std::string> FindTitleVobs(const std::string& folder) {
    std::vector<std::string> found;
    clsFileSearch search;
    search.FindedFileInfo = [&found](const std::string& path) {
        if (!IsMenuFile(path)) found.push_back(path);
    };
    search.AutoListFiles(folder, kVobPattern);
    return found;
}
