// The engine's message boxes (Windows MessageBox with no owner, default title,
// one OK button and no icon).
//
// With a QApplication the box is a modal QMessageBox; without one the text goes
// to standard error. A caller may install a sink instead (a headless tool, a
// test that records every box byte for byte); the sink runs on the calling
// thread and the call returns when it does.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ui {

using MessageSink = std::function<void(std::string_view text)>;

// Shows text and returns once the user (or the sink) is done with it.
void MessageBox(std::string_view text);

// Replaces the box by sink; an empty sink restores the default behaviour.
void SetMessageSink(MessageSink sink);

} // namespace ui
