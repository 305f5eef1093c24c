// The skin file parser on a small complete file and on broken ones, each of
// which must be refused with its file, line and problem.
#include "platform/skin/skin_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::TempFolder;
using testing_support::WriteFile;

const char* kArt = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10" fill="#123"/></svg>)";

TEST(SkinFile, ReadsWindowsObjectsAndTheirLook) {
    TempFolder dir;
    WriteFile(dir / "face.svg", kArt);
    WriteFile(dir / "my.skn", R"(# a skin
[menu]
background = #102030
radius = 8

[window Main]
size = 200, 100
background = face.svg
shape = alpha
font = Liberation Sans, 9pt, bold
wheel = bar

; the objects, in drawing order
[button Go]
rect = 1, 2, 51, 22
caption = "  Go #1  "
disabled = yes
hover-face = #abc
align = center
elide = left
hover-image = face.svg

[label Status]
rect = 0, 80, 200, 100
text = Ready
color = #11223344
underline = yes

[scrollbar bar]
rect = 190, 0, 200, 80
range = 5
position = 9
visible = no

[window Other]
size = 10, 10
)");
    const skin::SkinFile file = skin::ParseSkinFile(dir / "my.skn");
    ASSERT_EQ(file.windows.size(), 2u);
    EXPECT_EQ(file.menu.background, (skin::Colour{0x10, 0x20, 0x30, 255}));
    EXPECT_EQ(file.menu.radius, 8);
    const skin::WindowDef& w = *file.FindWindow("main");
    EXPECT_EQ(w.width, 200);
    EXPECT_TRUE(w.alpha_shape);
    EXPECT_EQ(w.background, dir / "face.svg");
    EXPECT_EQ(w.font.family, "Liberation Sans");
    EXPECT_TRUE(w.font.points && w.font.bold);
    ASSERT_EQ(w.objects.size(), 3u);
    const skin::ObjectDef& go = w.objects[0];
    EXPECT_EQ(go.kind, skin::Kind::Button);
    EXPECT_EQ(go.line, 14);
    EXPECT_EQ(go.rect, (skin::Rect{1, 2, 51, 22}));
    EXPECT_EQ(go.text, "  Go #1  ");
    EXPECT_TRUE(go.disabled);
    EXPECT_EQ(go.hover_face, (skin::Colour{0xaa, 0xbb, 0xcc, 255}));
    EXPECT_EQ(go.align, skin::Align::Center);
    EXPECT_EQ(go.elide, skin::Elide::Left);
    EXPECT_EQ(go.art.hover, dir / "face.svg");
    EXPECT_TRUE(go.art.normal.empty());
    EXPECT_EQ(w.objects[1].color, (skin::Colour{0x11, 0x22, 0x33, 0x44}));
    EXPECT_TRUE(w.objects[1].underline);
    EXPECT_EQ(w.objects[2].position, 5) << "a position beyond the range is pulled into it";
    EXPECT_FALSE(w.objects[2].visible);
    EXPECT_EQ(file.FindWindow("Nowhere"), nullptr);
}

struct Broken {
    const char* what;
    const char* text;     // null: no file at all
    const char* message;  // after "PATH:", with %D for the skin's folder
};

void PrintTo(const Broken& b, std::ostream* out) { *out << b.what; }

class BrokenSkin : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenSkin, IsRefusedWithFileLineAndProblem) {
    TempFolder dir;
    WriteFile(dir / "face.svg", kArt);
    WriteFile(dir / "not-art.svg", "this is no picture");
    if (GetParam().text) WriteFile(dir / "bad.skn", GetParam().text);
    std::string message = GetParam().message;
    if (const auto at = message.find("%D"); at != std::string::npos) message.replace(at, 2, dir.path().string());
    try {
        skin::ParseSkinFile(dir / "bad.skn");
        FAIL() << "accepted";
    } catch (const skin::SkinError& e) {
        EXPECT_EQ(std::string(e.what()), dir / "bad.skn" + ":" + message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Problems, BrokenSkin,
    ::testing::Values(
        Broken{"no window", "# nothing\n", " the skin file defines no [window] section"},
        Broken{"key first", "size = 1, 1\n", "1: 'size' comes before any section"},
        Broken{"object first", "[button A]\nrect=0,0,1,1\n", "1: the object 'A' comes before any [window] section"},
        Broken{"unknown kind", "[window W]\nsize=1,1\n[slider S]\n", "3: unknown section kind 'slider' (window, button, label, scrollbar, image or menu)"},
        Broken{"open header", "[window W\n", "1: a section header must end with ']'"},
        Broken{"no name", "[window]\n", "1: [window] needs a name"},
        Broken{"no size", "\n[window W]\nfont = Sans, 9\n", "2: the window 'W' has no size"},
        Broken{"no rect", "[window W]\nsize=9,9\n[label L]\ntext=x\n[label M]\nrect=0,0,1,1\n", "3: the object 'L' has no rect"},
        Broken{"duplicate", "[window W]\nsize=9,9\n[label L]\nrect=0,0,1,1\n[button l]\n", "5: a second object named 'l' in window 'W'"},
        Broken{"second window", "[window W]\nsize=9,9\n[window w]\n", "3: a second window named 'w'"},
        Broken{"not a line", "[window W]\nsize 9 9\n", "2: expected 'key = value' or '[section]', found 'size 9 9'"},
        Broken{"unknown key", "[window W]\nsize=9,9\n[label L]\nrect=0,0,1,1\ncaption=x\n", "5: unknown key 'caption' for a label"},
        Broken{"bad number", "[window W]\nsize=9,nine\n", "2: 'nine' is not a whole number"},
        Broken{"rect order", "[window W]\nsize=9,9\n[image I]\nrect=5,0,1,1\n", "4: rect has its right or bottom edge before its left or top"},
        Broken{"bad colour", "[window W]\nsize=9,9\nfill=#12345\n", "3: '#12345' is not a colour (#rgb, #rrggbb, #rrggbbaa or none)"},
        Broken{"bad hex", "[window W]\nsize=9,9\nfill=#zzzzzz\n", "3: '#zzzzzz' is not a colour (#rrggbb)"},
        Broken{"bad font", "[window W]\nsize=9,9\nfont=Sans\n", "3: a font is 'Family, SIZE[px|pt][, bold][, italic]'"},
        Broken{"bad wheel", "[window W]\nsize=9,9\nwheel=List1\n[button List1]\nrect=0,0,1,1\n", "1: the wheel of window 'W' names no scroll bar of it: 'List1'"},
        Broken{"bad flag", "[window W]\nsize=9,9\n[button B]\nrect=0,0,1,1\ndisabled=maybe\n", "5: 'maybe' is not yes or no"},
        Broken{"missing art", "[window W]\nsize=9,9\nbackground=gone.svg\n", "3: the art file '%D/gone.svg' does not exist"},
        Broken{"not art", "[window W]\nsize=9,9\nbackground=not-art.svg\n",
               "3: the art file '%D/not-art.svg' cannot be read as an image"},
        Broken{"no file", nullptr, " cannot open the skin file: No such file or directory"}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
