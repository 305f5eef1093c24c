// The user-interface thread's message loop and pointer, as the program sees
// them: DoEvents and GetCursorPos.
#pragma once

namespace ui {

// Lets the window events that are waiting run, then returns.
void DoEvents();

// Ends the message loop, so the program ends even when none of its windows
// is on the screen (a window hidden in the notification area closes without
// the loop noticing). Does nothing when no loop runs.
void EndMessageLoop();

// The mouse pointer's position in screen pixels.
struct Point {
    int x = 0;
    int y = 0;
};
Point GetCursorPos();

} // namespace ui
