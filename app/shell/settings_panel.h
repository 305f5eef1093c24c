// The main window's two panels: "Main" shows the list's rows; "Settings" parks
// them above the window and shows the output folder with Browse, Ok and
// Cancel, and the controls for titles the skin has. Switching moves skin
// objects to fixed rectangles (the title controls to the skin's own).
#pragma once

#include "app/shell/title_controls.h"

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
    // Ok stores the folder and the title settings shown; Cancel drops them.
    // Both go back to the list.
    void Store();
    void Drop();
    // A click on a title control; false for any other object.
    bool Click(const skin::Object& object);

    // The controls for titles, bound with the skin.
    TitleControls& Titles() { return titles_; }
    // The title settings in force: as stored, where the skin shows them.
    TitleSettings TitleChoice() const { return titles_.Effective(ReadTitleSettings()); }

private:
    MainFrame& frame_;
    TitleControls titles_;
};
