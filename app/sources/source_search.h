// Filling the source list: the DVDs in the drives, every VOB file below a
// folder, single files opened or dropped. The list shows itself through the
// skin objects it was bound to.
#pragma once

#include "app/sources/file_search.h"
#include "app/sources/source_list.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class SourceSearch {
public:
    explicit SourceSearch(SourceList& list) : list_(list) {}

    // Searches every DVD in the drives, in drive order, after the entries.
    void ListVobInDVDRom();
    // A disc came or went: the list is filled from the drives again, or emptied.
    void DeviceArrival();
    void DeviceRemoved();
    // Empties the list and fills it with every VOB file below folder.
    void ImportFolder(std::string folder);
    // Adds one opened file (file_title its name alone) after the entries;
    // menus are refused with a message.
    void AddOpenedFile(const std::string& file_title, const std::string& file_name);
    // Whether paths make a drop the list takes: VOB files only, or one folder.
    static bool Droppable(const std::vector<std::string>& paths);
    // A folder is imported, VOB files are added as opened ones, in name order.
    void DropFiles(const std::vector<std::string>& paths);
    // The search's report of one file it found.
    void FoundFile(const std::string& path);

private:
    // Runs search now or, when a search is running (it lets window events run
    // while it works), once that search has ended; of several searches asked
    // for meanwhile only the last runs. Device events and imports go through
    // here, so that no search ever runs inside another.
    void RunSearch(std::function<void()> search);
    void ScanDrives();
    // Searches root for VOB files into the list, through a fresh search.
    void SearchForVobs(const std::string& root);
    // "Press Start..." or "Insert DVD...", unless the list overflowed.
    void ShowSearchResult(bool found);

    SourceList& list_;
    std::unique_ptr<clsFileSearch> fs_;
    bool searching_ = false;
    bool overflowed_ = false;
    std::function<void()> deferred_;
};
