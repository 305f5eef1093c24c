// The source list: up to 100 source paths in a table of 101 slots, shown
// seven at a time through the window's row objects and scroll bar, with the
// row marks "NORMAL" and "PROCESSING", "Delete Item" and "Clear List".
//
// It drives skin objects and nothing else, so it works on any objects the
// window bound, or on stand-alone ones in a test.
#pragma once

#include "platform/skin/object.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The skin objects the list shows itself through; none may be null once bound.
struct ListView {
    std::array<skin::Object*, 8> rows{};  // rows 1 to 7; index 0 is never used
    skin::Object* scroll_bar = nullptr;
    skin::Object* processing = nullptr;   // the status line
};

// A track of a title the user may choose: its DVD stream number, and how
// the converter's title list names it ("2 de (AC-3, 6 ch)").
struct TrackChoice {
    int stream = -1;
    std::string text{};
    bool operator==(const TrackChoice&) const = default;
};

// What one entry converts: a file, or one title of a disc with the choices
// made for it.
struct SourceEntry {
    std::string path;  // the file, or the disc: its mount point, VIDEO_TS folder or ISO image
    int title = 0;     // 0: path is a file
    int angle = 0;     // 1-based; 0 the first
    int audioStream = -1;     // DVD stream number; -1 the engine's choice
    int subtitleStream = -1;  // DVD subpicture stream; -1 none
    bool forcedSubtitles = false;
    std::string caption{};  // how its row reads; empty: the path
    std::string aviName{};  // the AVI's file name; empty: the source's name with ".avi"
    // A title's tracks, and its row's words before any note on them.
    std::vector<TrackChoice> audioTracks{}, subtitleTracks{};
    std::string name{};
    bool operator==(const SourceEntry&) const = default;
};

// Slots 0 to 100 of source entries. Entries fill slots 1, 2, ... without
// gaps; the first empty slot (no path) ends the list and slot 0 stays empty.
// Reading outside 0..100 gives the empty entry and writing outside 1..100
// does nothing, so no computed slot number can reach outside the table.
class FileTable {
public:
    static constexpr int kLast = 100;
    // The slot's path.
    const std::string& operator[](int slot) const { return Entry(slot).path; }
    const SourceEntry& Entry(int slot) const;
    // A file, as the drive scan and the file search list them.
    void Set(int slot, std::string path);
    void Set(int slot, SourceEntry entry);

private:
    std::array<SourceEntry, kLast + 1> slots_;
};

class SourceList {
public:
    static constexpr int kRows = 7;

    void Bind(const ListView& view) { view_ = view; }
    const ListView& View() const { return view_; }

    // The number of entries, 0 to 100, counted from the table.
    std::int16_t GetListCount() const;

    // Colours row (1 to 7) with mark, "NORMAL" or "PROCESSING"; any other text,
    // or a row outside 1..7, changes nothing.
    void SetListButtonColor(const std::string& mark, std::int16_t row);

    // Shows slots p + 1 to p + 7 in the rows, marking the row of CurrentIndex
    // "PROCESSING" and the others "NORMAL". Slots past 100 show as empty rows.
    void ScrollBarChanged(std::int32_t p);

    // "Delete Item": removes the entry shown in SelectedRow.
    void DeleteMenu_Click();
    // "Clear List": empties the list and its rows and hides the scroll bar.
    void ClearMenu_Click();

    // Writes text to the status line and repaints it.
    void SetStatus(std::string_view text);
    // Writes slot's caption (its path, where it has none) and its path to row
    // as caption and hint, and repaints the row.
    void ShowInRow(int slot, int row);

    FileTable FileList;
    std::int16_t SelectedRow = 0;   // row of the last mouse release on a row, 1 to 7
    std::int16_t CurrentIndex = 0;  // slot being converted; 0 outside a run

private:
    ListView view_;
};
