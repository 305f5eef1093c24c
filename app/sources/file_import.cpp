// Adding files to the list: the search's found files, "Import File" (every VOB
// file below a folder) and "Open File" (one VOB file).
#include "app/shell/main_frame.h"

#include "path_text.h"
#include "vob_files.h"

#include "app/shell/settings_store.h"
#include "platform/shell/dialogs.h"
#include "platform/shell/directory.h"
#include "platform/ui/event_loop.h"
#include "platform/ui/message_box.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* kListFull = "The list is full: 100 files. Press Start...";

} // namespace

void MainFrame::RunSearch(std::function<void()> search) {
    if (searching_) {
        deferred_search_ = std::move(search);
        return;
    }
    searching_ = true;
    while (search) {
        search();
        search = std::move(deferred_search_);
        deferred_search_ = nullptr;
    }
    searching_ = false;
}

void MainFrame::SearchForVobs(const std::string& root) {
    fs = std::make_unique<clsFileSearch>();
    fs->FindedFileInfo = [this](const std::string& path) { fs_FindedFileInfo(path); };
    fs->AutoListFiles(root, kVobPattern);
    fs.reset();
}

void MainFrame::ShowSearchResult(bool found) {
    List.SetStatus(list_overflowed_ ? kListFull : found ? "Press Start..." : "Insert DVD...");
    list_overflowed_ = false;
}

void MainFrame::fs_FindedFileInfo(const std::string& path) {
    if (IsMenuFile(path)) return;
    // Found files go after the list's last entry, so that a deletion or an
    // opened file during the search leaves no gap and is not overwritten.
    const int slot = List.GetListCount() + 1;
    if (slot > FileTable::kLast) {
        list_overflowed_ = true;
        if (fs) fs->Stop();
        return;
    }
    List.FileList.Set(slot, path);
    const int p = ScrollBar->Position();
    if (slot > p && slot <= p + SourceList::kRows) List.ShowInRow(slot, slot - p);
    // The bar follows the list, and shows where the rows do.
    if (slot > SourceList::kRows) {
        ScrollBar->SetRange(slot - SourceList::kRows);
        if (ListButton[1]->GetRect().bottom > 0) ScrollBar->SetVisible(true);
    }
    ui::DoEvents();
}

void MainFrame::ImportFile_Click() {
    std::string folder =
        shell::BrowseForFolder(Handle(), "Select a directory from which you want to import file(s)", LastDialogFolder());
    if (folder.empty()) return;
    RememberDialogFolder(folder);
    ImportFolder(std::move(folder));
}

void MainFrame::ImportFolder(std::string folder) {
    AddBackslash(folder);
    RunSearch([this, folder] {
        List.ClearMenu_Click();
        List.SetStatus("Searching file...");
        SearchForVobs(folder);
        ShowSearchResult(!List.FileList[1].empty());
    });
}

void MainFrame::OpenFile_Click() {
    const shell::OpenFileResult chosen = shell::ShowOpen(Handle(), "VOB Files(*.vob)|*.vob", LastDialogFolder());
    if (!chosen.file_name.empty()) RememberDialogFolder(std::filesystem::path(chosen.file_name).parent_path().string());
    AddOpenedFile(chosen.file_title, chosen.file_name);
}

void MainFrame::AddOpenedFile(const std::string& file_title, const std::string& file_name) {
    if (file_title == "VIDEO_TS.VOB" || file_title == "VTS_01_0.VOB") {
        ui::MessageBox("This is not a valid vob file, please select another one.", "Marbleway", ui::Icon::None);
        return;
    }
    if (!file_name.empty()) {
        const int k = List.GetListCount() + 1;
        if (k > FileTable::kLast) {
            List.SetStatus(kListFull);
            return;
        }
        List.FileList.Set(k, file_name);
        if (k <= SourceList::kRows) {
            List.ShowInRow(k, k);
        } else {
            ScrollBar->SetRange(k - SourceList::kRows);
            ScrollBar->SetPosition(ScrollBar->Range());
            List.ScrollBarChanged(ScrollBar->Range());
            ScrollBar->SetVisible(true);
        }
    }
    List.SetStatus("Press Start...");
}

bool MainFrame::Droppable(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    std::error_code ec;
    if (paths.size() == 1 && std::filesystem::is_directory(paths.front(), ec)) return true;
    return std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
        std::error_code e;
        return std::filesystem::is_regular_file(path, e) && shell::MatchesPattern(GetFileName(path), kVobPattern);
    });
}

// A folder is imported as Import File does, VOB files are added as Open File
// adds them, in name order.
void MainFrame::DropFiles(const std::vector<std::string>& paths) {
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
