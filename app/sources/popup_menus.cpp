// The popup menus: the list menu on a row, the file and about menus from
// their skin buttons, shown by the skin at the mouse pointer.
#include "app/shell/main_frame.h"

#include "platform/ui/event_loop.h"

void MainFrame::SetSkinPopupMenu(std::int16_t position) {
    if (position < 0 || position >= static_cast<std::int16_t>(MenuBar.size())) return;
    const skin::Menu& menu = GetSubMenu(position);
    skin::SkinWindow* window = Skin.GetSkinWindow(Handle());
    const ui::Point pointer = ui::GetCursorPos();
    if (window != nullptr) window->ShowPopupMenu(menu, pointer.x, pointer.y);
}

void MainFrame::Skin_MouseUp(skin::Object& source, int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {
    const std::string& name = source.Name();
    if (name < "List1" || name > "List7") return;
    // Names such as "List1x" sort in between too; only the seven rows count.
    const int row = name.back() - '0';
    if (name.size() != 5 || row < 1 || row > SourceList::kRows) return;
    List.SelectedRow = static_cast<std::int16_t>(row);
    if (!ListButton[static_cast<std::size_t>(row)]->Caption().empty()) SetSkinPopupMenu(0);
}
