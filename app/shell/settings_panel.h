// The main window's two panels: "Main" shows the list's rows; "Settings" parks
// them above the window and shows the output folder with Browse, Ok and
// Cancel. Switching moves skin objects to fixed rectangles.
#pragma once

#include <string_view>

class MainFrame;

class SettingsPanel {
public:
    explicit SettingsPanel(MainFrame& frame) : frame_(frame) {}

    // "Main" or "Settings"; any other name does nothing.
    void Switch(std::string_view panel);
    // The Settings command: the panel, showing the stored folder.
    void Open();
    // Browse: the folder browser, opened at the folder the panel shows.
    void Browse();
    // Ok stores the folder shown; Cancel drops it. Both go back to the list.
    void Store();
    void Drop();

private:
    MainFrame& frame_;
};
