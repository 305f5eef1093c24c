#include "conversion_run.h"

#include "app/sources/path_text.h"
#include "platform/notify/notification.h"
#include "platform/shell/folders.h"
#include "platform/ui/message_box.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || fs::equivalent(a, b, ec);
}

std::string ProgressText(std::int32_t value) { return "Progressing:" + std::to_string(value) + "%"; }

} // namespace

std::string ConversionRun::AviPath(const std::string& source) const {
    const std::string name = GetFileName(source);
    const std::string base = name.substr(0, static_cast<std::size_t>(LastInStr(name, ".")));
    return window_.OutputFolder() + base + "avi";
}

bool ConversionRun::Running() const { return !window_.RunControls().stopCompress->Disabled(); }

void ConversionRun::Start() {
    if (Running() || list_.FileList[1].empty()) return;
    outputs_.clear();
    list_.CurrentIndex = 1;
    StartEntry(1, 0);
}

std::string ConversionRun::FreeOutputName(const std::string& source, const std::string& destination) const {
    const bool taken = SameFile(destination, source) || outputs_.contains(destination);
    if (!taken) return destination;
    // "VTS_01_1.avi" becomes "VTS_01_1 (2).avi", "VTS_01_1 (3).avi", ...
    const std::string stem = destination.substr(0, destination.size() - 4);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ").avi";
        std::error_code ec;
        if (!outputs_.contains(candidate) && !fs::exists(candidate, ec) && !SameFile(candidate, source)) return candidate;
    }
}

void ConversionRun::Halt() {
    const RunWindow::Controls c = window_.RunControls();
    c.startCompress->SetDisabled(false);
    c.stopCompress->SetDisabled(true);
}

void ConversionRun::StartEntry(int slot, std::int16_t flag) {
    const RunWindow::Controls c = window_.RunControls();
    if (c.startCompress->Disabled()) return;
    c.startCompress->SetDisabled(true);
    c.stopCompress->SetDisabled(false);

    // The engine gets the path exactly as listed: a backslash is an ordinary
    // file-name character here, and doubling it would name another file.
    const SourceEntry& entry = list_.FileList.Entry(slot);
    const std::string source = entry.path;
    std::string destination =
        entry.aviName.empty() ? AviPath(source) : window_.OutputFolder() + entry.aviName;

    const fs::path folder = fs::path(destination).parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder.empty() ? fs::path(".") : folder, ec)) {
        Halt();
        ui::MessageBox("The folder \"" + folder.string() + "\" for the AVI files does not exist.\n"
                       "Connect its disk, or choose another folder under Settings.",
                       "Marbleway", ui::Icon::Warning);
        return;
    }
    const std::string chosen = FreeOutputName(source, destination);
    const bool renamed = chosen != destination;
    destination = chosen;
    // The entry's row shows it under way, and where it goes when renamed.
    const auto markRow = [&] {
        const int row = Positioning(list_.CurrentIndex, "PROCESSING");
        if (renamed && row != 0) (*c.rows)[static_cast<std::size_t>(row)]->SetHintText(source + "\nSaved as " + destination);
    };

    if (entry.title > 0) {
        // A disc's title: prepared aside, then converted pass by pass.
        vobcast::plan::ConversionChoices choices = window_.TitleChoices();
        choices.title = entry.title;
        choices.angle = entry.angle;
        choices.audioStream = entry.audioStream;
        choices.subtitleStream = entry.subtitleStream;
        choices.forcedSubtitles = entry.forcedSubtitles;
        steps_ = std::make_unique<vobcast::plan::ConversionSteps>(*engine_, source, choices);
        source_ = source;
        destination_ = destination;
        flag_ = flag;
        pass_ = 0;
        markRow();
        list_.SetStatus("Preparing " + TitleName() + "...");
        preparing_ = std::async(std::launch::async, [steps = steps_.get()] { return steps->Prepare(); });
        timer_.start();
        return;
    }
    if (engine_->DoInit(window_.Handle(), source, destination, flag) != 0) {
        Halt();
        engine_->DoUninit();
        return;
    }
    outputs_.insert(destination);
    markRow();
    engine_->StartComp();
    timer_.start();
}

vobcast::plan::ConversionSteps::Prepared ConversionRun::EndPreparing() {
    // The preparing reads a bounded number of pictures, so this wait ends.
    vobcast::plan::ConversionSteps::Prepared prepared = preparing_.get();
    preparing_ = {};
    return prepared;
}

void ConversionRun::FailTitle(const std::string& problem) {
    timer_.stop();
    Positioning(list_.CurrentIndex, "NORMAL");
    Halt();
    engine_->DoUninit();
    steps_.reset();
    if (!problem.empty())
        ui::MessageBox("\"" + TitleName() + "\" can't be converted: " + problem + ".", "Marbleway", ui::Icon::Warning);
}

std::string ConversionRun::TitleName() const { return fs::path(destination_).stem().string(); }

void ConversionRun::ReleaseEngine() {
    // A title still being prepared has started no pass to stop.
    if (preparing_.valid()) EndPreparing();
    else engine_->StopComp();
    engine_->DoUninit();
    steps_.reset();
}

void ConversionRun::RunPrepared(const vobcast::plan::ConversionSteps::Prepared& prepared) {
    using Outcome = vobcast::plan::ConversionSteps::Outcome;
    if (prepared.outcome != Outcome::Ready) {
        FailTitle(prepared.text);
        return;
    }
    pass_ = 1;
    StartPass(flag_);
}

bool ConversionRun::StartPass(std::int16_t flag) {
    std::string problem;
    const std::string writes = steps_->BeginPass(pass_, destination_, problem);
    if (writes.empty()) {
        FailTitle(problem);
        return false;
    }
    if (engine_->DoInit(window_.Handle(), source_, writes, flag) != 0) {
        FailTitle({});  // the engine has said why
        return false;
    }
    outputs_.insert(destination_);
    engine_->StartComp();
    return true;
}

std::string ConversionRun::ProgressLine(std::int32_t percent) const {
    std::string line = ProgressText(percent);
    if (steps_) line += "  " + TitleName();
    return line;
}

int ConversionRun::Positioning(int slot, const std::string& mark) {
    if (slot < 1 || slot > FileTable::kLast) return 0;
    skin::Object* bar = window_.RunControls().scrollBar;
    const int row = slot > SourceList::kRows ? SourceList::kRows : slot;
    const int p = slot - row;
    // The row that shows the slot; a list scrolled elsewhere comes back to it.
    if (bar->Position() != p) {
        if (bar->Range() < p) bar->SetRange(p);
        bar->SetPosition(p);
        list_.ScrollBarChanged(p);
        bar->Repaint();
    }
    list_.SetListButtonColor(mark, static_cast<std::int16_t>(row));
    return row;
}

void ConversionRun::CloseEntry() {
    window_.Restore();
    window_.ShowProgramIcon();
    Halt();
    Positioning(list_.CurrentIndex, "NORMAL");
    timer_.stop();
    ReleaseEngine();
}

void ConversionRun::EndRun() {
    list_.CurrentIndex = 0;
    list_.SetStatus("Complete!");
    window_.ShowProgress("Complete!");
    tray_.DELETEICON(window_.Handle());
}

std::string ConversionRun::Notice() const {
    // An entry whose file is missing or empty did not convert: the engine has
    // said why in its own box.
    std::size_t converted = 0;
    for (const std::string& avi : outputs_) {
        std::error_code ec;
        if (fs::file_size(avi, ec) > 0 && !ec) ++converted;
    }
    const std::size_t failed = outputs_.size() - converted;
    std::string notice = "Converted " + std::to_string(converted) + (converted == 1 ? " file" : " files") + " into " +
                         window_.OutputFolder();
    if (failed > 0) notice += "; " + std::to_string(failed) + " failed";
    return notice;
}

void ConversionRun::EntryDone() {
    // Closing the entry brings the window back; whether it sat in the
    // notification area is known only before.
    const bool inTray = window_.InTray();
    CloseEntry();
    ++list_.CurrentIndex;
    if (list_.CurrentIndex <= FileTable::kLast && !list_.FileList[list_.CurrentIndex].empty()) {
        StartEntry(list_.CurrentIndex, 1);
        return;
    }
    // A user who put the window away hears of the end from the desktop's
    // notification service, or from the icon where that is the only way.
    if (inTray || !window_.InView()) {
        const std::string notice = Notice();
        if (!notify::Show("Marbleway", "Marbleway", notice) && inTray) tray_.NOTIFYICON(window_.Handle(), "Marbleway", notice);
    }
    EndRun();
}

void ConversionRun::ForceStop() {
    if (!Running()) return;
    CloseEntry();
    EndRun();
}

void ConversionRun::Abandon() {
    if (!Running()) return;
    timer_.stop();
    ReleaseEngine();
    tray_.DELETEICON(window_.Handle());
    // Nothing shows it, as the window is going; it keeps a second close (the
    // window destroyed after closing) from releasing the engine again.
    window_.RunControls().stopCompress->SetDisabled(true);
}

void ConversionRun::Poll() {
    if (preparing_.valid()) {
        if (preparing_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) RunPrepared(EndPreparing());
        return;
    }
    // The program reads the low 32 bits of the engine's value; a title of
    // two passes shows them as one.
    const auto whole = [this](std::int64_t position) {
        const auto p = static_cast<std::int32_t>(position);
        return steps_ && p >= 0 && p <= 100 ? static_cast<std::int32_t>(steps_->Percent(pass_, p)) : p;
    };
    const std::int32_t p1 = whole(engine_->GetCurrentPos());
    list_.SetStatus(ProgressLine(p1));
    if (p1 >= 0 && p1 <= 100) {
        const std::string file = shell::ProgramFolder() + "/icon/round" + std::to_string(p1 / 6) + ".ico";
        const QIcon frame(QString::fromStdString(file));
        // A frame that cannot be read leaves the icon as it is; polling goes on.
        if (!frame.availableSizes().isEmpty()) window_.ShowIcon(frame, file);
    }
    const std::int32_t p2 = whole(engine_->GetCurrentPos());
    tray_.MODIFYICON(window_.Handle(), window_.IconHandle(), ProgressLine(p2));
    window_.ShowProgress(ProgressLine(p2));
    const auto p3 = static_cast<std::int32_t>(engine_->GetCurrentPos());
    if (p3 != 100) return;
    if (steps_ && pass_ < steps_->Passes()) {
        // The measuring pass is done: the second writes the AVI, with the
        // compressor chosen for the first.
        engine_->StopComp();
        engine_->DoUninit();
        ++pass_;
        StartPass(1);
        return;
    }
    EntryDone();
}
