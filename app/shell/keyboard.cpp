// The main window for the keyboard: its shortcuts, and the keys the skin
// hands on from the focused object. Every key ends in a command the mouse
// gives too, by the same handler.
#include "main_frame.h"

#include "app/sources/popup_menus.h"

#include <QKeySequence>
#include <QShortcut>

const char* MainFrame::KeyboardHelp() {
    return "Ctrl+O Open \u00b7 Ctrl+I Import \u00b7 Ctrl+Return Start \u00b7 Esc Stop \u00b7 Ctrl+Q Exit";
}

void MainFrame::BindShortcuts() {
    const auto bind = [this](const char* keys, std::function<void()> command) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        connect(shortcut, &QShortcut::activated, this, std::move(command));
    };
    bind("Ctrl+O", [this] { OpenFile_Click(); });
    bind("Ctrl+I", [this] { ImportFile_Click(); });
    // Return on the main keys, Enter on the keypad.
    for (const char* keys : {"Ctrl+Return", "Ctrl+Enter"}) {
        bind(keys, [this] {
            if (StartCompress != nullptr) Skin_Click(*StartCompress);
        });
    }
    bind("Escape", [this] {
        if (StopCompress != nullptr && Running()) Skin_Click(*StopCompress);
    });
    bind("Ctrl+Q", [this] { ExitMenu_Click(); });
}

void MainFrame::Skin_KeyDown(skin::Object& source, int key, int /*shift*/) {
    if (source.Name() == "FileMenu" && key == Qt::Key_Down) {
        Skin_Click(source);
        return;
    }
    const int row = ReleasedRow(source.Name());
    if (row == 0) return;
    skin::SkinWindow* window = Skin.GetSkinWindow(Handle());
    if (key == Qt::Key_Delete) {
        List.SelectedRow = static_cast<std::int16_t>(row);
        List.DeleteMenu_Click();
        // The focus stays on the row, which now shows the next entry, if any.
        if (ListButton[static_cast<std::size_t>(row)]->Caption().empty() && row > 1)
            window->SetKeyboardFocus(ListButton[static_cast<std::size_t>(row - 1)]);
        return;
    }
    if (key != Qt::Key_Up && key != Qt::Key_Down) return;
    const int step = key == Qt::Key_Up ? -1 : 1;
    const int next = row + step;
    if (next >= 1 && next <= SourceList::kRows && !ListButton[static_cast<std::size_t>(next)]->Caption().empty()) {
        window->SetKeyboardFocus(ListButton[static_cast<std::size_t>(next)]);
        return;
    }
    // Past the first or last row shown: the list scrolls under the focus.
    const std::int32_t position = ScrollBar->Position() + step;
    if (position < 0 || position > ScrollBar->Range()) return;
    ScrollBar->SetPosition(position);
    Skin_Scroll(*ScrollBar, position);
}
