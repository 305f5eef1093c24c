// MainFrame, the program's main window. It draws nothing of its own: its face
// is the skin "DVD" of dvd.skn, whose named objects it binds once and keeps.
// It owns the program's state: the source list and the bound skin objects.
#pragma once

#include "app/sources/source_list.h"
#include "platform/skin/skin.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <string_view>

class MainFrame : public QWidget {
public:
    MainFrame();  // created hidden, titled "DVD"
    ~MainFrame() override;

    // The native window id, the handle the skin and the engine know it by.
    std::uintptr_t Handle() const;

    // The load sequence, run once before the window is first shown: the skin,
    // then the settings file.
    void Form_Load();

    // Loads dvd.skn from the program folder, applies "DVD", binds the named
    // objects, shows the main panel and disables "StopCompress". Throws
    // skin::SkinError naming the file and the problem, a missing object too.
    void LoadSkin();

    // Shows the "Main" or the "Settings" panel by moving skin objects to their
    // fixed rectangles and parking the others above the window; any other
    // name does nothing.
    void SwitchInterface(std::string_view panel);

    // The clicked object's name, compared exactly, decides the command.
    void Skin_Click(skin::Object& source);
    void Skin_Scroll(skin::Object& source, std::int32_t position);
    void Skin_ScrollTrack(skin::Object& source, std::int32_t position);

    skin::Skin Skin;
    SourceList List;

    // Bound by LoadSkin; valid while the window lives.
    skin::Object* StartCompress = nullptr;
    skin::Object* StopCompress = nullptr;
    skin::Object* Processing = nullptr;
    skin::Object* ScrollBar = nullptr;
    skin::Object* SaveStatic = nullptr;
    skin::Object* SavePath = nullptr;
    skin::Object* Ok = nullptr;
    skin::Object* Cancel = nullptr;
    skin::Object* Browse = nullptr;
    std::array<skin::Object*, 8> ListButton{};  // rows 1 to 7
};
