// Message boxes (Windows MessageBox with no owner and one OK button): the
// engine's, with the default title and no icon, and the program's own, with a
// title and an icon of their own.
//
// With a QApplication the box is a modal Qt message box; without one the text
// goes to standard error. A caller may install a sink instead (a headless tool, a
// test that records every box byte for byte); the sink runs on the calling
// thread and the call returns when it does.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ui {

using MessageSink = std::function<void(std::string_view text)>;

enum class Icon { None = 0, Warning = 1, Critical = 2 };

// Shows text and returns once the user (or the sink) is done with it.
void MessageBox(std::string_view text);
void MessageBox(std::string_view text, std::string_view title, Icon icon);

// Replaces the box by sink; an empty sink restores the default behaviour.
void SetMessageSink(MessageSink sink);

} // namespace ui
