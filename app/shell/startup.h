// How Marbleway comes up and runs until its last window closes.
#pragma once

#include <functional>

class MainFrame;

// Runs frame's Form_Load. A skin that cannot be loaded is reported in a
// message box naming the file and the problem; then it returns false and the
// window must not be shown.
bool LoadMainFrame(MainFrame& frame);

// Creates the main window hidden, loads it (skin, settings file, DVD scan),
// shows it and runs the message loop until the last window closes. A skin that
// cannot be loaded is reported in a message box naming the file and the
// problem, and the program ends with status 1. shown, if given, is called once
// the window shows (a test driving the whole program starts there).
int RunMarbleway(int argc, char** argv, const std::function<void(MainFrame&)>& shown = {});
