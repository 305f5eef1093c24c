// The popup menus: the list menu on a row, the file, about and tray menus,
// shown by the skin at the mouse pointer.
#pragma once

#include "platform/skin/skin.h"

#include <cstdint>
#include <string>

// Shows menu at the mouse pointer over the skinned window; nothing when the
// window has no skin.
void ShowPopupMenu(skin::Skin& skin, std::uintptr_t window, const skin::Menu& menu);

// The row (1 to 7) of the row object named name ("List1" to "List7"); 0 for
// any other object.
int ReleasedRow(const std::string& name);
