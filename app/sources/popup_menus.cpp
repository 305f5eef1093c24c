#include "popup_menus.h"

#include "app/sources/source_list.h"
#include "platform/ui/event_loop.h"

void ShowPopupMenu(skin::Skin& skin, std::uintptr_t window, const skin::Menu& menu) {
    skin::SkinWindow* skinned = skin.GetSkinWindow(window);
    const ui::Point pointer = ui::GetCursorPos();
    if (skinned != nullptr) skinned->ShowPopupMenu(menu, pointer.x, pointer.y);
}

int ReleasedRow(const std::string& name) {
    if (name < "List1" || name > "List7") return 0;
    // Names such as "List1x" sort in between too; only the seven rows count.
    const int row = name.back() - '0';
    return name.size() == 5 && row >= 1 && row <= SourceList::kRows ? row : 0;
}
