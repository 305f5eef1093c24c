// The conversion run: the listed files one after another through the engine.
#include "app/shell/main_frame.h"

#include "app/shell/settings_store.h"
#include "app/sources/path_text.h"

#include "platform/ui/message_box.h"

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || fs::equivalent(a, b, ec);
}

} // namespace

std::string MainFrame::MakeAviPath(const std::string& path) {
    const std::string folder = ReadIniValue("SavePath", "PathName");
    const std::string name = GetFileName(path);
    const std::string base = name.substr(0, static_cast<std::size_t>(LastInStr(name, ".")));
    return folder + base + "avi";
}

bool MainFrame::Running() const { return !StopCompress->Disabled(); }

void MainFrame::StartRun() {
    if (Running() || List.FileList[1].empty()) return;
    run_outputs_.clear();
    List.CurrentIndex = 1;
    StartCompress_Click(1, 0);
}

std::string MainFrame::FreeOutputName(const std::string& source, const std::string& destination) const {
    const bool taken = SameFile(destination, source) || run_outputs_.contains(destination);
    if (!taken) return destination;
    // "VTS_01_1.avi" becomes "VTS_01_1 (2).avi", "VTS_01_1 (3).avi", ...
    const std::string stem = destination.substr(0, destination.size() - 4);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ").avi";
        std::error_code ec;
        if (!run_outputs_.contains(candidate) && !fs::exists(candidate, ec) && !SameFile(candidate, source)) return candidate;
    }
}

void MainFrame::StartCompress_Click(int slot, std::int16_t flag) {
    if (StartCompress->Disabled()) return;
    StartCompress->SetDisabled(true);
    StopCompress->SetDisabled(false);

    // The engine gets the path exactly as listed: a backslash is an ordinary
    // file-name character here, and doubling it would name another file.
    const std::string source = List.FileList[slot];
    std::string destination = MakeAviPath(source);
    auto halt = [this] {
        StartCompress->SetDisabled(false);
        StopCompress->SetDisabled(true);
    };

    const fs::path folder = fs::path(destination).parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder.empty() ? fs::path(".") : folder, ec)) {
        halt();
        ui::MessageBox("The folder \"" + folder.string() + "\" for the AVI files does not exist.\n"
                       "Connect its disk, or choose another folder under Settings.",
                       "Marbleway", ui::Icon::Warning);
        return;
    }
    const std::string chosen = FreeOutputName(source, destination);
    const bool renamed = chosen != destination;
    destination = chosen;

    if (Engine->DoInit(Handle(), source, destination, flag) != 0) {
        halt();
        Engine->DoUninit();
        return;
    }
    run_outputs_.insert(destination);
    const int row = Positioning(List.CurrentIndex, "PROCESSING");
    if (renamed && row != 0) ListButton[static_cast<std::size_t>(row)]->SetHintText(source + "\nSaved as " + destination);
    Engine->StartComp();
    Timer1.start();
}

int MainFrame::Positioning(int slot, const std::string& mark) {
    if (slot < 1 || slot > FileTable::kLast) return 0;
    const int row = slot > SourceList::kRows ? SourceList::kRows : slot;
    const int p = slot - row;
    // The row that shows the slot; a list scrolled elsewhere comes back to it.
    if (ScrollBar->Position() != p) {
        if (ScrollBar->Range() < p) ScrollBar->SetRange(p);
        ScrollBar->SetPosition(p);
        List.ScrollBarChanged(p);
        ScrollBar->Repaint();
    }
    List.SetListButtonColor(mark, static_cast<std::int16_t>(row));
    return row;
}

void MainFrame::CloseEntry() {
    show();
    SetIcon(Image1, {});
    StartCompress->SetDisabled(false);
    StopCompress->SetDisabled(true);
    Positioning(List.CurrentIndex, "NORMAL");
    Timer1.stop();
    Engine->StopComp();
    Engine->DoUninit();
}

void MainFrame::EndRun() {
    List.CurrentIndex = 0;
    List.SetStatus("Complete!");
    Tray.DELETEICON(Handle());
}

void MainFrame::StopCompress_Click() {
    // Closing the entry brings the window back; whether it sat in the
    // notification area is known only before.
    const bool inTray = isHidden();
    CloseEntry();
    ++List.CurrentIndex;
    if (List.CurrentIndex <= FileTable::kLast && !List.FileList[List.CurrentIndex].empty()) {
        StartCompress_Click(List.CurrentIndex, 1);
        return;
    }
    // A user who put the window away hears of the end from its icon.
    if (inTray) {
        const std::size_t n = run_outputs_.size();
        Tray.NOTIFYICON(Handle(), "Marbleway",
                        "Converted " + std::to_string(n) + (n == 1 ? " file" : " files") + " into " +
                            ReadIniValue("SavePath", "PathName"));
    }
    EndRun();
}

void MainFrame::OnForceStop() {
    if (!Running()) return;
    CloseEntry();
    EndRun();
}
