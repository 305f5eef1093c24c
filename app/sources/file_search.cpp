#include "file_search.h"

#include "path_text.h"

#include "platform/ui/event_loop.h"

#include <vector>

bool clsFileSearch::AutoListFiles(std::string folder, std::string pattern) {
    searched_.clear();
    stopped_ = false;
    Search(std::move(folder), pattern.empty() ? "*.*" : pattern);
    return true;
}

void clsFileSearch::Search(std::string folder, const std::string& pattern) {
    AddBackslash(folder);
    const std::optional<shell::FolderId> id = shell::IdentifyFolder(folder);
    if (!id || !searched_.insert(*id).second) return;

    for (const std::string& name : shell::ListFiles(folder, pattern).names) {
        if (stopped_) return;
        if (FindedFileInfo) FindedFileInfo(folder + name);
    }
    ui::DoEvents();

    // The listing is complete before the first sub-folder is searched.
    std::vector<std::string> subfolders;
    for (const std::string& name : shell::ListFolders(folder).names) subfolders.push_back(folder + name + "/");
    for (const std::string& sub : subfolders) {
        if (stopped_) return;
        Search(sub, pattern);
    }
}
