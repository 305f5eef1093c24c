// Splash, the about window: its own skin ("FreeForm" of splash.skn), two
// links, and the way back to the main window. It is made when About shows it
// and unloaded (deleted) when the user leaves it, however that happens.
#pragma once

#include "platform/skin/skin.h"

#include <QWidget>

class MainFrame;

class Splash : public QWidget {
public:
    explicit Splash(MainFrame& main);

    // Loads splash.skn, binds the four objects and sets the description.
    // Throws skin::SkinError naming the file and the problem.
    void Form_Load();

    void Skin_DblClick(skin::Object& source);
    void Skin_MouseDown(skin::Object& source, int button);
    void Skin_MouseIn(skin::Object& source);
    void Skin_MouseOut(skin::Object& source);

    skin::Skin Skin;
    skin::Object* Continue = nullptr;
    skin::Object* Email = nullptr;
    skin::Object* HomePage = nullptr;
    skin::Object* Description = nullptr;

protected:
    // However the window closes, the main window comes back.
    void closeEvent(QCloseEvent* event) override;

private:
    void Hover(skin::Object& source, bool in);
    void Leave();

    MainFrame& main_;
};
