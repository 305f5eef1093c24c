// Filling the source list: the DVDs in the drives, every VOB file below a
// folder, single files opened or dropped. The list shows itself through the
// skin objects it was bound to. Where the user wants whole titles, a disc (in
// a drive, a VIDEO_TS folder, an ISO image) is listed by its titles instead.
#pragma once

#include "app/sources/file_search.h"
#include "app/sources/source_list.h"
#include "title_choice.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a search reads discs as titles.
struct TitleLister {
    // The tracks wished of every title, asked at each search; none: discs
    // list their VOB files.
    std::function<std::optional<vobcast::plan::TrackWish>()> wish;
    // Reads a disc as VobcastReadDisc does: null with error set when it can't.
    // Runs on a thread of its own while the window's events go on.
    std::function<std::unique_ptr<VobcastDisc>(const std::string& path, std::string& error)> read;
};

class SourceSearch {
public:
    explicit SourceSearch(SourceList& list) : list_(list) {}
    void SetTitleLister(TitleLister lister) { titles_ = std::move(lister); }

    // The Open File dialog's filter: VOB files, and with titles wished disc
    // images and VIDEO_TS.IFO too.
    std::string OpenFilter() const;

    // Searches every DVD in the drives, in drive order, after the entries.
    void ListVobInDVDRom();
    // A disc came or went: the list is filled from the drives again, or emptied.
    void DeviceArrival();
    void DeviceRemoved();
    // Empties the list and fills it with every VOB file below folder.
    void ImportFolder(std::string folder);
    // Adds one opened file (file_title its name alone) after the entries;
    // menus are refused with a message. With titles wished, an ISO image or
    // a VIDEO_TS.IFO adds its disc's titles.
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
    // The tracks wished of titles, when discs are listed as titles.
    std::optional<vobcast::plan::TrackWish> Wish() const;
    // "Press Start..." or "Insert DVD...", unless the list overflowed.
    void ShowSearchResult(bool found);
    // Puts entry after the list's last one, showing it where the rows are;
    // false when the list is full.
    bool Append(SourceEntry entry);
    // Lists the titles of the disc at path after the entries; false with
    // error set when it can't be read as a disc.
    bool ListTitles(const std::string& path, const vobcast::plan::TrackWish& wish, std::string& error);
    // The discs below folder: the folder itself where it is one, else every
    // VIDEO_TS folder and ISO image the search finds below it.
    std::vector<std::string> DiscsBelow(const std::string& folder);

    SourceList& list_;
    std::unique_ptr<clsFileSearch> fs_;
    bool searching_ = false;
    bool overflowed_ = false;
    std::function<void()> deferred_;
    TitleLister titles_;
};
