#include "splash.h"

#include "main_frame.h"

#include "platform/shell/folders.h"
#include "platform/shell/shell_execute.h"

#include <QCloseEvent>

#include <array>

namespace {

skin::Object* Bind(const skin::SkinWindow& window, const std::string& file, const char* name) {
    skin::Object* object = window.FindObject(name);
    if (object == nullptr) throw skin::SkinError(file + ": the window \"FreeForm\" has no object named \"" + name + "\"");
    return object;
}

} // namespace

Splash::Splash(MainFrame& main) : main_(main) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Marbleway");
    setWindowIcon(main.Image1);
    Skin.events.DblClick = [this](skin::Object& o) { Skin_DblClick(o); };
    Skin.events.MouseDown = [this](skin::Object& o, int button, int, int, int) { Skin_MouseDown(o, button); };
    Skin.events.MouseIn = [this](skin::Object& o) { Skin_MouseIn(o); };
    Skin.events.MouseOut = [this](skin::Object& o) { Skin_MouseOut(o); };
}

void Splash::Form_Load() {
    const std::string file = shell::ProgramFolder() + "/splash.skn";
    const auto handle = static_cast<std::uintptr_t>(winId());
    Skin.LoadSkin(file);
    Skin.ApplySkin(handle, "FreeForm");
    const skin::SkinWindow& window = *Skin.GetSkinWindow(handle);
    Continue = Bind(window, file, "Continue");
    Email = Bind(window, file, "Email");
    HomePage = Bind(window, file, "HomePage");
    Description = Bind(window, file, "Description");
    Description->SetText("Convert and back up DVDs to DIVX, AVI, and MPEG format.");
    // A skin may leave the keyboard's help line out.
    if (skin::Object* keys = window.FindObject("Keys")) keys->SetText(MainFrame::KeyboardHelp());
}

void Splash::Leave() {
    main_.show();
    close();
}

void Splash::closeEvent(QCloseEvent* event) {
    main_.show();
    event->accept();
}

void Splash::Skin_DblClick(skin::Object& /*source*/) { Leave(); }

void Splash::Skin_MouseDown(skin::Object& source, int button) {
    if (button != 1) return;
    const std::string& name = source.Name();
    if (name == "Email") shell::ShellExecute("mailto:" + Email->Text());
    else if (name == "HomePage") shell::ShellExecute(HomePage->Text());
    else if (name == "Continue") Leave();
}

void Splash::Hover(skin::Object& source, bool in) {
    struct Look {
        const char* name;
        skin::Object* Splash::*object;
        std::array<std::uint8_t, 3> out;
    };
    static constexpr std::array<Look, 3> looks = {{{"Continue", &Splash::Continue, {0, 0, 128}},
                                                   {"Email", &Splash::Email, {255, 248, 240}},
                                                   {"HomePage", &Splash::HomePage, {255, 248, 240}}}};
    for (const Look& look : looks) {
        if (source.Name() != look.name) continue;
        skin::Object& label = *(this->*look.object);
        skin::LabelColorRecord record = label.LabelColors();
        const std::array<std::uint8_t, 3> colour = in ? std::array<std::uint8_t, 3>{255, 0, 0} : look.out;
        std::copy(colour.begin(), colour.end(), record.begin() + 4);
        label.SetLabelColors(record);
        label.Repaint();
        return;
    }
}

void Splash::Skin_MouseIn(skin::Object& source) { Hover(source, true); }
void Splash::Skin_MouseOut(skin::Object& source) { Hover(source, false); }
