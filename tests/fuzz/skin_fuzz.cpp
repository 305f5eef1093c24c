// The skin file parser on any text: load it, then apply and draw every window
// definition it declares. A bad skin must be refused with a SkinError, never
// crash or leak.
#include "platform/skin/skin.h"
#include "platform/skin/skin_file.h"

#include "temp_folder.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

std::string g_file;
// The application lives to the end of the process (it keeps a reference to
// its argument count).
int g_argc = 1;
char g_name[] = "fuzz-skin";
char* g_argv[] = {g_name, nullptr};
QApplication* g_app = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    g_app = new QApplication(g_argc, g_argv);
    g_file = testing_support::ScratchFile("fuzz.skn");
    // The skins' own art, so that a skin naming it loads it.
    std::filesystem::create_directory_symlink(SKIN_ART_DIR, testing_support::ScratchFile("art"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing_support::WriteFile(g_file, std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        const skin::SkinFile file = skin::ParseSkinFile(g_file);
        skin::Skin skin;
        skin.LoadSkin(g_file);
        for (const skin::WindowDef& def : file.windows) {
            // Sizes are checked by the parser; a huge one would only cost time.
            if (def.width > 2000 || def.height > 2000) continue;
            QWidget window;
            skin.ApplySkin(static_cast<std::uintptr_t>(window.winId()), def.name);
            window.grab();
        }
    } catch (const skin::SkinError&) {
    }
    return 0;
}
