#include "source_search.h"

#include "path_text.h"
#include "vob_files.h"

#include "platform/shell/directory.h"
#include "platform/shell/drives.h"
#include "platform/ui/event_loop.h"
#include "platform/ui/message_box.h"

#include <algorithm>
#include <filesystem>

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

} // namespace

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
    for (const std::string& root : shell::DriveRoots()) {
        if (shell::GetDriveType(root) != shell::DRIVE_CDROM) continue;
        if (GetDiskCapacity(root) / 1024 / 1024 / 1024 < 1.0) continue;  // a CD, or no disc
        SearchForVobs(root);
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
    // Found files go after the list's last entry, so that a deletion or an
    // opened file during the search leaves no gap and is not overwritten.
    const int slot = list_.GetListCount() + 1;
    if (slot > FileTable::kLast) {
        overflowed_ = true;
        if (fs_) fs_->Stop();
        return;
    }
    list_.FileList.Set(slot, path);
    skin::Object* bar = list_.View().scroll_bar;
    const int p = bar->Position();
    if (slot > p && slot <= p + SourceList::kRows) list_.ShowInRow(slot, slot - p);
    // The bar follows the list, and shows where the rows do.
    if (slot > SourceList::kRows) {
        bar->SetRange(slot - SourceList::kRows);
        if (list_.View().rows[1]->GetRect().bottom > 0) bar->SetVisible(true);
    }
    ui::DoEvents();
}

void SourceSearch::ImportFolder(std::string folder) {
    AddBackslash(folder);
    RunSearch([this, folder] {
        list_.ClearMenu_Click();
        list_.SetStatus("Searching file...");
        SearchForVobs(folder);
        ShowSearchResult(!list_.FileList[1].empty());
    });
}

void SourceSearch::AddOpenedFile(const std::string& file_title, const std::string& file_name) {
    if (file_title == "VIDEO_TS.VOB" || file_title == "VTS_01_0.VOB") {
        ui::MessageBox("This is not a valid vob file, please select another one.", "Marbleway", ui::Icon::None);
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
