// The conversion run: the listed files one after another through the engine,
// polled once a second, with the row of the file under way marked and the
// window's and the tray's icons showing its progress.
//
// The window a run belongs to owns the state (the list, the engine, the tray
// icon, the timer, the bound skin objects); the run works on it through
// RunWindow.
#pragma once

#include "conversion_steps.h"
#include "engine_calls.h"
#include "app/run/tray_icon.h"
#include "app/sources/source_list.h"
#include "platform/skin/object.h"

#include <QIcon>
#include <QTimer>

#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <set>
#include <string>

// What a run needs of its window.
class RunWindow {
public:
    // The skin objects the run drives; bound before the first run.
    struct Controls {
        skin::Object* startCompress = nullptr;
        skin::Object* stopCompress = nullptr;
        skin::Object* scrollBar = nullptr;
        std::array<skin::Object*, 8>* rows = nullptr;  // rows 1 to 7
    };

    virtual std::uintptr_t Handle() const = 0;
    virtual Controls RunControls() = 0;
    // Whether the window sits in the notification area; bringing it back.
    virtual bool InTray() const = 0;
    virtual void Restore() = 0;
    // Whether the user can see the window (shown, not minimised).
    virtual bool InView() const = 0;
    // The run's progress ("Progressing:42%", "Complete!") where the window
    // shows it besides its status line: in its title, while it is minimised
    // for want of a notification area.
    virtual void ShowProgress(const std::string& text) = 0;
    // The window icon: a progress frame read from file, or the program's own
    // (file empty). IconHandle names the icon shown now, for the tray.
    virtual void ShowIcon(const QIcon& icon, std::string file) = 0;
    virtual void ShowProgramIcon() = 0;
    virtual std::uintptr_t IconHandle() const = 0;
    // The folder the AVI files go to, as stored: "/srv/rips/".
    virtual std::string OutputFolder() const = 0;
    // How every title of a run converts: its size, its black bars.
    virtual vobcast::plan::ConversionChoices TitleChoices() const = 0;

protected:
    ~RunWindow() = default;
};

class ConversionRun {
public:
    ConversionRun(RunWindow& window, SourceList& list, std::unique_ptr<EngineCalls>& engine, TrayIcon& tray,
                  QTimer& timer)
        : window_(window), list_(list), engine_(engine), tray_(tray), timer_(timer) {}

    // A run is in progress exactly while "StopCompress" is enabled.
    bool Running() const;
    // The Start command: from the first entry, when there is one and no run.
    void Start();
    // Converts slot; flag 0 asks for the compressor, 1 reuses it. A title
    // is first prepared (its black bars found, its size checked) on a thread
    // of its own, then converted in one pass or, for a size, two.
    void StartEntry(int slot, std::int16_t flag);
    // The entry under way is complete: the next one starts, or the run ends.
    void EntryDone();
    // The user's Stop: the entry is finalised and the run ends.
    void ForceStop();
    // The window is going: the engine is released once, nothing shown.
    void Abandon();
    // The once-a-second look at the entry under way.
    void Poll();
    // output folder + the source's name with "avi" for its extension.
    std::string AviPath(const std::string& source) const;

private:
    // Marks slot's row with mark, scrolling the list so that the row shows
    // it; returns the row (0 for a slot outside the table).
    int Positioning(int slot, const std::string& mark);
    void CloseEntry();
    void EndRun();
    // "Converted 3 files into /srv/rips/", and how many failed where any did.
    std::string Notice() const;
    // destination, or a free "name (2).avi" when it is the source itself or
    // an output of this run already.
    std::string FreeOutputName(const std::string& source, const std::string& destination) const;
    void Halt();
    // Ends the preparing of a title, waiting for it, and returns its outcome.
    vobcast::plan::ConversionSteps::Prepared EndPreparing();
    // Runs pass pass_ of the entry under way into destination_; false when
    // it could not start (the run halted, the user told why).
    bool StartPass(std::int16_t flag);
    // The title under way ends unconverted, the user told why (problem
    // empty: the engine has told).
    void FailTitle(const std::string& problem);
    // "MY_FILM title 01": the title under way, by its AVI's name.
    std::string TitleName() const;
    // Stops the entry under way (waiting for a title being prepared) and
    // releases the engine.
    void ReleaseEngine();
    // The prepared title's first pass, or the halt its outcome asks for.
    void RunPrepared(const vobcast::plan::ConversionSteps::Prepared& prepared);
    // "Progressing:42%", and for a title its name: "Progressing:42%  MY_FILM title 01".
    std::string ProgressLine(std::int32_t percent) const;

    RunWindow& window_;
    SourceList& list_;
    std::unique_ptr<EngineCalls>& engine_;
    TrayIcon& tray_;
    QTimer& timer_;
    std::set<std::string> outputs_;  // the AVI files this run has written

    // The title under way: its steps, its pass, where it goes, and while it
    // is prepared the work doing it.
    std::unique_ptr<vobcast::plan::ConversionSteps> steps_;
    std::future<vobcast::plan::ConversionSteps::Prepared> preparing_;
    int pass_ = 0;
    std::int16_t flag_ = 0;
    std::string source_;
    std::string destination_;
};
