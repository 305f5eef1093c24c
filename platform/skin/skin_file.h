// The skin file: the text format that describes skinned windows and their
// named objects, and its parser. This header is the format's one definition;
// the README's "Writing a skin" section walks skin authors through it.
//
// A skin file is UTF-8 text. Blank lines and lines whose first non-blank
// character is '#' or ';' are ignored. A line "[kind Name]" opens a section;
// the lines after it, "key = value", describe it. Values are taken as written,
// blanks at both ends dropped; "double quotes" keep blanks or a leading '#'.
//
//   [window NAME]    a window definition. Keys:
//       size = W, H               client size in pixels (required)
//       background = FILE         art drawn under everything, scaled to the size
//       shape = rect | alpha      alpha: the window is cut to the background's
//                                 opaque pixels (default rect)
//       fill = COLOUR             colour under the background (default #202020)
//       font = FONT               default font of the window's objects
//       wheel = OBJECT            scroll bar that the mouse wheel moves anywhere
//                                 in the window
//   [button NAME] [label NAME] [scrollbar NAME] [image NAME]
//                    an object of the window section above it. Names are
//                    unique in a window, ignoring letter case; the order of the
//                    sections is the drawing order. Keys of every object:
//       rect = L, T, R, B         left, top, right, bottom in client pixels (required)
//       visible = yes | no        (default yes)
//       hint = TEXT               tooltip
//       cursor = arrow | hand
//     button:
//       caption, disabled = yes|no, font, align = left|center|right,
//       elide = none|left|middle|right|wrap (wrap: words wrap onto more lines), padding = PX,
//       color, hover-color, pressed-color, disabled-color   caption colours
//       face, hover-face, pressed-face, disabled-face       face fills
//       border, border-width = PX, radius = PX, glow = COLOUR (hover outline),
//       accent = COLOUR (a bar along the left edge),
//       image, hover-image, pressed-image, disabled-image   art per state
//     label:
//       text, font, align, elide, padding, color, background, radius,
//       shadow = COLOUR, underline = yes|no, image
//     scrollbar:
//       range = N, position = N, page = N (rows one page shows; thumb size),
//       track, thumb, hover-thumb, radius
//     image:
//       image
//   [menu]           the look of the popup menus: font, color, background,
//                    highlight, highlight-color, border, radius
//
// COLOUR is #rgb, #rrggbb, #rrggbbaa or "none". FONT is "Family, SIZE[px|pt]
// [, bold] [, italic]". FILE is relative to the skin file's folder; SVG and PNG
// are read. Every problem (an unknown section or key, a bad number or colour, a
// missing art file, a duplicate name) is a SkinError naming the file and line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace skin {

class SkinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Kind { Button, Label, ScrollBar, Image };

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;  // a == 0: none
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct Font {
    std::string family = "DejaVu Sans";
    double size = 11;     // in pixels, or points when points is set
    bool points = false;
    bool bold = false;
    bool italic = false;
};

enum class Align : std::uint8_t { Left, Center, Right };
enum class Elide : std::uint8_t { None, Left, Middle, Right, Wrap };

// Art of an object, one file per state; empty when the state has none.
struct Art {
    std::string normal, hover, pressed, disabled;
};

struct ObjectDef {
    Kind kind = Kind::Image;
    std::string name;
    int line = 0;
    Rect rect;
    bool visible = true;
    bool disabled = false;
    bool hand_cursor = false;
    std::string text;  // caption of a button, text of a label
    std::string hint;
    std::optional<Font> font;  // none: the window's
    Align align = Align::Left;
    Elide elide = Elide::None;
    std::uint8_t padding = 2;
    Colour color{255, 255, 255, 255};
    Colour hover_color, pressed_color;
    Colour disabled_color{128, 128, 128, 255};
    Colour face, hover_face, pressed_face, disabled_face;
    Colour border, glow, accent;
    std::uint8_t border_width = 1;
    std::uint8_t radius = 0;
    Colour background, shadow;  // labels
    bool underline = false;
    Art art;
    std::int32_t range = 0, position = 0, page = 7;  // scroll bars
    Colour track{255, 255, 255, 40}, thumb{255, 255, 255, 120}, hover_thumb;
};

struct WindowDef {
    std::string name;
    int line = 0;
    std::int32_t width = 0, height = 0;
    std::string background;
    bool alpha_shape = false;
    Colour fill{32, 32, 32, 255};
    Font font;
    std::string wheel;
    std::vector<ObjectDef> objects;
};

struct MenuStyle {
    Font font;
    Colour color{230, 230, 230, 255}, background{40, 40, 44, 255};
    Colour highlight{0, 120, 215, 255}, highlight_color{255, 255, 255, 255};
    Colour border{80, 80, 88, 255};
    std::uint8_t radius = 4;
};

struct SkinFile {
    std::string path;
    std::vector<WindowDef> windows;
    MenuStyle menu;

    // The window definition named name, ignoring letter case; null if none.
    const WindowDef* FindWindow(std::string_view name) const;
};

// Reads and checks the skin file at path, art files included. Throws SkinError
// ("PATH:LINE: problem", or "PATH: problem" for the file as a whole).
SkinFile ParseSkinFile(const std::string& path);

// ASCII letter case ignored, as skin names are compared.
bool SameName(std::string_view a, std::string_view b);

} // namespace skin
