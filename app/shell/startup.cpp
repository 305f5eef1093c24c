#include "startup.h"

#include "main_frame.h"
#include "settings_store.h"

#include "platform/ui/message_box.h"

#include <QApplication>

#include <cstdio>

void MainFrame::Form_Load() {
    LoadSkin();
    SetUpIniFile();
    ListVobInDVDRom();
    // The keyboard starts on Start.
    if (skin::SkinWindow* window = Skin.GetSkinWindow(Handle())) window->SetKeyboardFocus(StartCompress);
}

bool LoadMainFrame(MainFrame& frame) {
    try {
        frame.Form_Load();
    } catch (const skin::SkinError& e) {
        std::fprintf(stderr, "Marbleway: %s\n", e.what());
        ui::MessageBox(std::string("Marbleway cannot start: its skin is missing or broken.\n\n") + e.what(), "Marbleway",
                       ui::Icon::Critical);
        return false;
    }
    return true;
}

int RunMarbleway(int argc, char** argv, const std::function<void(MainFrame&)>& shown) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Marbleway");
    QApplication::setDesktopFileName("marbleway");
    MainFrame frame;
    if (!LoadMainFrame(frame)) return 1;
    frame.show();
    if (shown) shown(frame);
    return QApplication::exec();
}
