// A number asked of the user (the InputBox of a settings panel): a modal box
// with a spin field, keyboard and screen reader alike.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ui {

// The number the user typed, between least and most; none when the user
// cancelled.
std::optional<int> AskNumber(const std::string& title, const std::string& prompt, int value, int least, int most);

// Answers instead of the user (tests): the hook gets the prompt and the value
// shown and returns the answer; an empty hook restores the box.
using NumberHook = std::function<std::optional<int>(const std::string& prompt, int value)>;
void SetNumberHook(NumberHook hook);

} // namespace ui
