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

bool IsTitleSetMenu(const std::string& path) {
    const std::string name = UpperName(path);
    return name.size() == 12 && name.starts_with("VTS_") && std::isdigit(static_cast<unsigned char>(name[4])) &&
           std::isdigit(static_cast<unsigned char>(name[5])) && name.ends_with("_0.VOB");
}

std::vector<std::string> FindTitleVobs(const std::string& folder) {
    std::vector<std::string> found;
    clsFileSearch search;
    search.FindedFileInfo = [&found](const std::string& path) {
        if (!IsMenuFile(path)) found.push_back(path);
    };
    search.AutoListFiles(folder, kVobPattern);
    return found;
}
