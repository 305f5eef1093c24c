#include "source_list.h"

#include <algorithm>

namespace {

const SourceEntry kNoEntry;

} // namespace

const SourceEntry& FileTable::Entry(int slot) const {
    return slot >= 0 && slot <= kLast ? slots_[static_cast<std::size_t>(slot)] : kNoEntry;
}

void FileTable::Set(int slot, std::string path) { Set(slot, SourceEntry{std::move(path)}); }

void FileTable::Set(int slot, SourceEntry entry) {
    if (slot >= 1 && slot <= kLast) slots_[static_cast<std::size_t>(slot)] = std::move(entry);
}

std::int16_t SourceList::GetListCount() const {
    for (int i = 1; i <= FileTable::kLast; ++i) {
        if (FileList[i].empty()) return static_cast<std::int16_t>(i - 1);
    }
    return FileTable::kLast;
}

void SourceList::SetListButtonColor(const std::string& mark, std::int16_t row) {
    std::array<std::uint8_t, 3> colour{};
    if (mark == "NORMAL") colour = {0, 128, 255};
    else if (mark == "PROCESSING") colour = {64, 255, 0};
    else return;
    if (row < 1 || row > kRows) return;
    skin::Object& button = *view_.rows[static_cast<std::size_t>(row)];

    skin::ButtonColorRecord record{};
    const skin::ButtonColorRecord& current = button.ButtonColors();
    std::copy(current.begin() + 56, current.end(), record.begin() + 56);
    std::copy(colour.begin(), colour.end(), record.begin() + 60);
    std::copy(current.begin(), current.begin() + 40, record.begin());
    button.SetButtonColors(record);
    button.Repaint();
}

void SourceList::ShowInRow(int slot, int row) {
    skin::Object& button = *view_.rows[static_cast<std::size_t>(row)];
    const SourceEntry& entry = FileList.Entry(slot);
    button.SetCaption(entry.caption.empty() ? entry.path : entry.caption);
    button.SetHintText(entry.path);
    button.Repaint();
}

void SourceList::ScrollBarChanged(std::int32_t p) {
    for (int r = 1; r <= kRows; ++r) {
        // Widened so that no position, however large, wraps into the table.
        const std::int64_t slot = std::int64_t{p} + r;
        const int shown = slot >= 0 && slot <= FileTable::kLast ? static_cast<int>(slot) : -1;
        ShowInRow(shown, r);
        SetListButtonColor(shown != -1 && CurrentIndex == shown ? "PROCESSING" : "NORMAL", static_cast<std::int16_t>(r));
    }
}

void SourceList::DeleteMenu_Click() {
    const int n = GetListCount();
    skin::Object& bar = *view_.scroll_bar;
    const int k = SelectedRow + bar.Position();
    // Only a row that shows an entry can be deleted.
    if (SelectedRow < 1 || SelectedRow > kRows || k < 1 || k > n) return;
    for (int i = k; i < n; ++i) FileList.Set(i, FileList.Entry(i + 1));
    FileList.Set(n, SourceEntry{});

    const int p = bar.Position();
    if (p == 0) {
        for (int r = 1; r <= kRows; ++r) ShowInRow(r, r);
    } else if (p == bar.Range()) {
        for (int r = kRows; r >= 1; --r) ShowInRow(std::max(r - 8 + n, -1), r);
    } else {
        for (int r = SelectedRow; r <= kRows; ++r) ShowInRow(p + r, r);
    }

    if (bar.Visible()) {
        bar.SetRange(bar.Range() - 1);
        if (bar.Range() == 0) bar.SetVisible(false);
    }
    if (n == 1) SetStatus("Insert DVD...");
}

void SourceList::ClearMenu_Click() {
    for (int r = 1; r <= kRows; ++r) {
        skin::Object& button = *view_.rows[static_cast<std::size_t>(r)];
        button.SetCaption(std::string());
        button.SetHintText(std::string());
        button.Repaint();
    }
    const int n = GetListCount();
    for (int i = 1; i <= n; ++i) FileList.Set(i, SourceEntry{});
    // An empty list has nothing to scroll: a position left from the longer list
    // would make the next list's rows and deletions count from it.
    view_.scroll_bar->SetRange(0);
    view_.scroll_bar->SetVisible(false);
    SetStatus("Insert DVD...");
}

void SourceList::SetStatus(std::string_view text) {
    view_.processing->SetText(std::string(text));
    view_.processing->Repaint();
}
