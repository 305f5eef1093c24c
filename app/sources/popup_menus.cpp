#include "popup_menus.h"

#include "app/sources/source_list.h"
#include "platform/ui/event_loop.h"

void ShowPopupMenu(skin::Skin& skin, std::uintptr_t window, const skin::Menu& menu) {
    skin::SkinWindow* skinned = skin.GetSkinWindow(window);
    const ui::Point pointer = ui::GetCursorPos();
    if (skinned != nullptr) skinned->ShowPopupMenu(menu, pointer.x, pointer.y);
}

skin::Menu TrackItems(const SourceEntry& entry, const std::function<void(int audio, int subtitle)>& choose) {
    skin::Menu menu;
    for (const TrackChoice& a : entry.audioTracks)
        menu.push_back({"Sound" + std::to_string(a.stream), "Sound " + a.text,
                        [choose, stream = a.stream, sub = entry.subtitleStream] { choose(stream, sub); }, {},
                        a.stream == entry.audioStream});
    if (!menu.empty()) menu.push_back({"SeparatorSound", "-", nullptr});
    menu.push_back({"NoSubtitles", "No subtitles", [choose, audio = entry.audioStream] { choose(audio, -1); }, {},
                    entry.subtitleStream < 0});
    for (const TrackChoice& s : entry.subtitleTracks)
        menu.push_back({"Subtitles" + std::to_string(s.stream), "Subtitles " + s.text,
                        [choose, stream = s.stream, audio = entry.audioStream] { choose(audio, stream); }, {},
                        s.stream == entry.subtitleStream});
    menu.push_back({"SeparatorTracks", "-", nullptr});
    return menu;
}

int ReleasedRow(const std::string& name) {
    if (name < "List1" || name > "List7") return 0;
    // Names such as "List1x" sort in between too; only the seven rows count.
    const int row = name.back() - '0';
    return name.size() == 5 && row >= 1 && row <= SourceList::kRows ? row : 0;
}
