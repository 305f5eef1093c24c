// The Settings panel's controls for converting a disc's titles: whether the
// list shows titles, the sound and subtitles wished, a size, the black bars.
// Each is an optional button of the skin, shown on the Settings panel where
// the skin puts it; a click toggles it or opens the menu of its values. What
// the panel shows is kept apart from DVD.ini until Ok stores it.
#pragma once

#include "app/shell/title_settings.h"
#include "platform/skin/skin.h"

#include <array>
#include <functional>
#include <string>

class TitleControls {
public:
    // The objects' names, as a skin gives them.
    static constexpr std::array<const char*, 5> kNames = {"WholeTitles", "TitleSound", "TitleSubtitles", "TitleSize",
                                                          "BlackBars"};

    // Finds the controls window has, and none that it lacks.
    void Bind(skin::SkinWindow& window);
    // The controls found, by kNames' order; null where the skin has none.
    const std::array<skin::Object*, kNames.size()>& Objects() const { return objects_; }

    // Shows settings on the controls, as the panel's values from now on.
    void Show(const TitleSettings& settings);
    const TitleSettings& Shown() const { return shown_; }

    // A click on object: true when it is one of the controls, which then
    // toggles or offers its values through popup (a menu shown and closed).
    bool Click(const skin::Object& object, const std::function<void(const skin::Menu&)>& popup);

    // The settings as stored, with what the skin has no control for at its
    // default: a setting nobody can see is not applied.
    TitleSettings Effective(const TitleSettings& stored) const;

private:
    skin::Object* Control(std::size_t i) const { return objects_[i]; }
    // Shows shown_ on the controls.
    void Refresh();
    skin::Menu SoundMenu();
    skin::Menu SubtitlesMenu();
    skin::Menu SizeMenu();

    skin::SkinWindow* window_ = nullptr;
    std::array<skin::Object*, kNames.size()> objects_{};
    TitleSettings shown_;
};
