// The user-interface thread's message loop and pointer, as the program sees
// them: DoEvents and GetCursorPos.
#pragma once

namespace ui {

// Lets the window events that are waiting run, then returns.
void DoEvents();

// The mouse pointer's position in screen pixels.
struct Point {
    int x = 0;
    int y = 0;
};
Point GetCursorPos();

} // namespace ui
