// The popup menus: the list menu on a row, the file, about and tray menus,
// shown by the skin at the mouse pointer.
#pragma once

#include "app/sources/source_list.h"
#include "platform/skin/skin.h"

#include <functional>

#include <cstdint>
#include <string>

// Shows menu at the mouse pointer over the skinned window; nothing when the
// window has no skin.
void ShowPopupMenu(skin::Skin& skin, std::uintptr_t window, const skin::Menu& menu);

// The items a title's row adds to the list menu: each of its audio tracks
// ("Sound 2 de (AC-3, 6 ch)") and its subtitles ("Subtitles 1 en", "No
// subtitles"), the chosen ones ticked; choose gets the streams picked.
skin::Menu TrackItems(const SourceEntry& entry, const std::function<void(int audio, int subtitle)>& choose);

// The row (1 to 7) of the row object named name ("List1" to "List7"); 0 for
// any other object.
int ReleasedRow(const std::string& name);
