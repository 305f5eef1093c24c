#include "source_search.h"

#include "path_text.h"
#include "title_entries.h"
#include "vob_files.h"

#include "platform/shell/directory.h"
#include "platform/shell/drives.h"
#include "platform/ui/event_loop.h"
#include "platform/ui/message_box.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>

namespace {

constexpr const char* kListFull = "The list is full: 100 files. Press Start...";

// Sectors per cluster x total clusters x bytes per sector; 0 when the drive
// cannot tell.
double GetDiskCapacity(const std::string& root) {
    shell::DiskSpace space;
    shell::GetDiskFreeSpace(root, space);
    return static_cast<double>(static_cast<std::int32_t>(space.sectors_per_cluster)) *
           static_cast<double>(static_cast<std::int32_t>(space.total_clusters)) *
           static_cast<double>(static_cast<std::int32_t>(space.bytes_per_sector));
}

// The entry of folder named name in any letter case; empty when none.
std::filesystem::path Child(const std::filesystem::path& folder, const char* name) {
    std::error_code ec;
    for (std::filesystem::directory_iterator i(folder, ec), end; !ec && i != end; i.increment(ec))
        if (shell::MatchesPattern(i->path().filename().string(), name)) return i->path();
    return {};
}

// A VIDEO_TS folder, or a folder holding one.
bool IsDiscFolder(const std::string& folder) {
    if (!Child(folder, "VIDEO_TS.IFO").empty()) return true;
    const std::filesystem::path video_ts = Child(folder, "VIDEO_TS");
    return !video_ts.empty() && !Child(video_ts, "VIDEO_TS.IFO").empty();
}

bool IsImage(const std::string& path) { return shell::MatchesPattern(GetFileName(path), "*.iso"); }

} // namespace

std::optional<vobcast::plan::TrackWish> SourceSearch::Wish() const {
    return titles_.wish ? titles_.wish() : std::nullopt;
}

std::string SourceSearch::OpenFilter() const {
    std::string vobs = "VOB Files(*.vob)|*.vob";
    if (!Wish()) return vobs;
    return "DVD video(*.vob;*.iso;VIDEO_TS.IFO)|*.vob;*.iso;VIDEO_TS.IFO|" + vobs + "|DVD images(*.iso)|*.iso";
}

bool SourceSearch::ListTitles(const std::string& path, const vobcast::plan::TrackWish& wish, std::string& error) {
    // Reading a disc walks its menus and may wait on a drive: the window's
    // events run meanwhile, as they do between a search's folders.
    auto reading = std::async(std::launch::async, [read = titles_.read, path] {
        std::string why;
        std::unique_ptr<VobcastDisc> disc = read(path, why);
        return std::make_pair(std::move(disc), why);
    });
    while (reading.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) ui::DoEvents();
    auto [disc, why] = reading.get();
    if (!disc) {
        error = why.empty() ? "it is no DVD" : why;
        return false;
    }
    for (SourceEntry& entry : TitleEntries(path, *disc, wish))
        if (!Append(std::move(entry))) break;
    return true;
}

std::vector<std::string> SourceSearch::DiscsBelow(const std::string& folder) {
    if (IsDiscFolder(folder)) return {folder};
    std::vector<std::string> discs;
    for (const char* pattern : {"VIDEO_TS.IFO", "*.iso"}) {
        fs_ = std::make_unique<clsFileSearch>();
        fs_->FindedFileInfo = [&discs](const std::string& path) {
            discs.push_back(IsImage(path) ? path : std::filesystem::path(path).parent_path().string());
        };
        fs_->AutoListFiles(folder, pattern);
        fs_.reset();
    }
    return discs;
}

void SourceSearch::RunSearch(std::function<void()> search) {
    if (searching_) {
        deferred_ = std::move(search);
        return;
    }
    searching_ = true;
    while (search) {
        search();
        search = std::move(deferred_);
        deferred_ = nullptr;
    }
    searching_ = false;
}

void SourceSearch::ScanDrives() {
    bool found = false;
    const auto wish = Wish();
    for (const std::string& root : shell::DriveRoots()) {
        if (shell::GetDriveType(root) != shell::DRIVE_CDROM) continue;
        if (GetDiskCapacity(root) / 1024 / 1024 / 1024 < 1.0) continue;  // a CD, or no disc
        // A disc that can't be read as titles still shows its VOB files.
        std::string error;
        if (!wish || !ListTitles(root, *wish, error)) SearchForVobs(root);
        found = true;
    }
    ShowSearchResult(found);
}

void SourceSearch::ListVobInDVDRom() {
    RunSearch([this] { ScanDrives(); });
}

void SourceSearch::DeviceArrival() {
    RunSearch([this] {
        list_.ClearMenu_Click();
        list_.SetStatus("Searching file...");
        ScanDrives();
    });
}

void SourceSearch::DeviceRemoved() {
    RunSearch([this] { list_.ClearMenu_Click(); });
}

void SourceSearch::SearchForVobs(const std::string& root) {
    fs_ = std::make_unique<clsFileSearch>();
    fs_->FindedFileInfo = [this](const std::string& path) { FoundFile(path); };
    fs_->AutoListFiles(root, kVobPattern);
    fs_.reset();
}

void SourceSearch::ShowSearchResult(bool found) {
    list_.SetStatus(overflowed_ ? kListFull : found ? "Press Start..." : "Insert DVD...");
    overflowed_ = false;
}

void SourceSearch::FoundFile(const std::string& path) {
    if (IsMenuFile(path)) return;
    if (!Append({path})) {
        if (fs_) fs_->Stop();
        return;
    }
    ui::DoEvents();
}

bool SourceSearch::Append(SourceEntry entry) {
    // Found entries go after the list's last one, so that a deletion or an
    // opened file during the search leaves no gap and is not overwritten.
    const int slot = list_.GetListCount() + 1;
    if (slot > FileTable::kLast) {
        overflowed_ = true;
        return false;
    }
    list_.FileList.Set(slot, std::move(entry));
    skin::Object* bar = list_.View().scroll_bar;
    const int p = bar->Position();
    if (slot > p && slot <= p + SourceList::kRows) list_.ShowInRow(slot, slot - p);
    // The bar follows the list, and shows where the rows do.
    if (slot > SourceList::kRows) {
        bar->SetRange(slot - SourceList::kRows);
        if (list_.View().rows[1]->GetRect().bottom > 0) bar->SetVisible(true);
    }
    return true;
}

void SourceSearch::ImportFolder(std::string folder) {
    AddBackslash(folder);
    RunSearch([this, folder] {
        list_.ClearMenu_Click();
        list_.SetStatus("Searching file...");
        const auto wish = Wish();
        const std::vector<std::string> discs = wish ? DiscsBelow(folder) : std::vector<std::string>{};
        std::vector<std::string> unread;
        for (const std::string& disc : discs) {
            std::string error;
            if (ListTitles(disc, *wish, error)) continue;
            if (IsImage(disc)) unread.push_back("\"" + disc + "\": " + error);
            else SearchForVobs(disc);
        }
        if (discs.empty()) SearchForVobs(folder);
        ShowSearchResult(!list_.FileList[1].empty());
        if (!unread.empty()) {
            std::string text = "These disc images can't be read as DVDs:";
            for (const std::string& u : unread) text += "\n" + u;
            ui::MessageBox(text, "Marbleway", ui::Icon::Warning);
        }
    });
}

void SourceSearch::AddOpenedFile(const std::string& file_title, const std::string& file_name) {
    if (file_title == "VIDEO_TS.VOB" || file_title == "VTS_01_0.VOB") {
        ui::MessageBox("This is not a valid vob file, please select another one.", "Marbleway", ui::Icon::None);
        return;
    }
    const auto wish = Wish();
    if (wish && !file_name.empty() && (IsImage(file_title) || shell::MatchesPattern(file_title, "VIDEO_TS.IFO"))) {
        const std::string disc = IsImage(file_title) ? file_name : std::filesystem::path(file_name).parent_path().string();
        list_.SetStatus("Searching file...");
        std::string error;
        if (!ListTitles(disc, *wish, error)) {
            ui::MessageBox("\"" + file_name + "\" can't be read as a DVD: " + error, "Marbleway", ui::Icon::Warning);
            list_.SetStatus(list_.FileList[1].empty() ? "Insert DVD..." : "Press Start...");
            return;
        }
        ShowSearchResult(true);
        return;
    }
    if (!file_name.empty()) {
        const int k = list_.GetListCount() + 1;
        if (k > FileTable::kLast) {
            list_.SetStatus(kListFull);
            return;
        }
        list_.FileList.Set(k, file_name);
        if (k <= SourceList::kRows) {
            list_.ShowInRow(k, k);
        } else {
            skin::Object* bar = list_.View().scroll_bar;
            bar->SetRange(k - SourceList::kRows);
            bar->SetPosition(bar->Range());
            list_.ScrollBarChanged(bar->Range());
            bar->SetVisible(true);
        }
    }
    list_.SetStatus("Press Start...");
}

bool SourceSearch::Droppable(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    std::error_code ec;
    if (paths.size() == 1 && std::filesystem::is_directory(paths.front(), ec)) return true;
    return std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
        std::error_code e;
        return std::filesystem::is_regular_file(path, e) && shell::MatchesPattern(GetFileName(path), kVobPattern);
    });
}

void SourceSearch::DropFiles(const std::vector<std::string>& paths) {
    if (!Droppable(paths)) return;
    std::error_code ec;
    if (std::filesystem::is_directory(paths.front(), ec)) {
        ImportFolder(paths.front());
        return;
    }
    std::vector<std::string> files = paths;
    std::sort(files.begin(), files.end(), shell::NameBefore);
    for (const std::string& file : files) AddOpenedFile(GetFileName(file), file);
}
