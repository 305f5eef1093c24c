// clsFileSearch: the recursive search for files matching a wildcard pattern
// below a folder, reporting each file it finds as it goes.
#pragma once

#include "platform/shell/directory.h"

#include <functional>
#include <set>
#include <string>

class clsFileSearch {
public:
    // Raised once for each matching file, with its full path exactly as the
    // file system spells it, before the search goes on.
    std::function<void(const std::string& path)> FindedFileInfo;

    // Searches folder and every folder below it: a folder's own files first, in
    // name order (letter case ignored), then each of its sub-folders
    // completely, in name order too. Hidden folders are skipped, and so is
    // every folder already searched (a link or bind mount that leads back), so
    // the search always ends. An unreadable folder is passed over. Pending
    // window events run after each folder's files. An empty pattern is "*.*".
    // Always returns true.
    bool AutoListFiles(std::string folder, std::string pattern);

    // Ends the running search after the file being reported.
    void Stop() { stopped_ = true; }

private:
    void Search(std::string folder, const std::string& pattern);

    std::set<shell::FolderId> searched_;
    bool stopped_ = false;
};
