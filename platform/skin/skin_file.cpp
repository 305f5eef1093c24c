#include "skin_file.h"

#include <QImageReader>
#include <QSvgRenderer>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unordered_map>

namespace skin {
namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitCommas(std::string_view s) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto comma = s.find(',');
        parts.push_back(Trim(s.substr(0, comma)));
        if (comma == std::string_view::npos) return parts;
        s.remove_prefix(comma + 1);
    }
}

class Parser {
public:
    explicit Parser(std::string path) : folder_(fs::path(path).parent_path()) { file_.path = std::move(path); }

    SkinFile Run() {
        std::ifstream in(file_.path, std::ios::binary);
        if (!in) throw SkinError(file_.path + ": cannot open the skin file: " + std::strerror(errno));
        std::string text;
        int number = 0;
        while (std::getline(in, text)) {
            ++number;
            line_ = number;
            Line(Trim(text));
        }
        FinishWindow();
        if (file_.windows.empty()) throw SkinError(file_.path + ": the skin file defines no [window] section");
        return std::move(file_);
    }

private:
    [[noreturn]] void Fail(const std::string& problem) const {
        throw SkinError(file_.path + ":" + std::to_string(line_) + ": " + problem);
    }

    void Line(std::string_view text) {
        if (text.empty() || text.front() == '#' || text.front() == ';') return;
        if (text.front() == '[') {
            if (text.back() != ']') Fail("a section header must end with ']'");
            Section(Trim(text.substr(1, text.size() - 2)));
            return;
        }
        const auto eq = text.find('=');
        if (eq == std::string_view::npos) Fail("expected 'key = value' or '[section]', found '" + std::string(text) + "'");
        const std::string key(Trim(text.substr(0, eq)));
        std::string_view value = Trim(text.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (section_ == SectionKind::None) Fail("'" + key + "' comes before any section");
        Key(key, value);
    }

    void Section(std::string_view header) {
        const auto space = header.find(' ');
        const std::string kind(header.substr(0, space));
        const std::string name(space == std::string_view::npos ? std::string_view() : Trim(header.substr(space + 1)));
        if (kind == "menu") {
            if (!name.empty()) Fail("[menu] takes no name");
            section_ = SectionKind::Menu;
            return;
        }
        static const std::unordered_map<std::string, Kind> kinds = {
            {"button", Kind::Button}, {"label", Kind::Label}, {"scrollbar", Kind::ScrollBar}, {"image", Kind::Image}};
        const bool is_window = kind == "window";
        if (!is_window && !kinds.contains(kind)) {
            Fail("unknown section kind '" + kind + "' (window, button, label, scrollbar, image or menu)");
        }
        if (name.empty()) Fail("[" + kind + "] needs a name");
        if (name.find_first_of(" \t") != std::string::npos) Fail("the name '" + name + "' holds a blank");
        if (is_window) {
            FinishWindow();
            if (file_.FindWindow(name) != nullptr) Fail("a second window named '" + name + "'");
            window_ = WindowDef{};
            window_->name = name;
            window_->line = line_;
            section_ = SectionKind::Window;
            return;
        }
        if (!window_) Fail("the object '" + name + "' comes before any [window] section");
        FinishObject();
        for (const ObjectDef& o : window_->objects) {
            if (SameName(o.name, name)) Fail("a second object named '" + name + "' in window '" + window_->name + "'");
        }
        object_ = ObjectDef{};
        object_->kind = kinds.at(kind);
        object_->name = name;
        object_->line = line_;
        object_rect_set_ = false;
        section_ = SectionKind::Object;
    }

    void FinishObject() {
        if (!object_) return;
        if (!object_rect_set_) {
            line_ = object_->line;
            Fail("the object '" + object_->name + "' has no rect");
        }
        if (object_->kind == Kind::ScrollBar) object_->position = std::clamp(object_->position, 0, object_->range);
        window_->objects.push_back(std::move(*object_));
        object_.reset();
    }

    void FinishWindow() {
        FinishObject();
        if (!window_) return;
        if (window_->width <= 0 || window_->height <= 0) {
            line_ = window_->line;
            Fail("the window '" + window_->name + "' has no size");
        }
        if (!window_->wheel.empty()) {
            const auto& objects = window_->objects;
            const auto it = std::find_if(objects.begin(), objects.end(),
                                         [&](const ObjectDef& o) { return SameName(o.name, window_->wheel); });
            if (it == objects.end() || it->kind != Kind::ScrollBar) {
                line_ = window_->line;
                Fail("the wheel of window '" + window_->name + "' names no scroll bar of it: '" + window_->wheel + "'");
            }
        }
        file_.windows.push_back(std::move(*window_));
        window_.reset();
    }

    // Value readers.
    std::int32_t Int(std::string_view v, std::int32_t lo, std::int32_t hi) const {
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec != std::errc() || end != v.data() + v.size()) Fail("'" + std::string(v) + "' is not a whole number");
        if (n < lo || n > hi) Fail(std::to_string(n) + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
        return n;
    }
    std::uint8_t Byte(std::string_view v) const { return static_cast<std::uint8_t>(Int(v, 0, 255)); }

    bool Bool(std::string_view v) const {
        if (v == "yes" || v == "true" || v == "1") return true;
        if (v == "no" || v == "false" || v == "0") return false;
        Fail("'" + std::string(v) + "' is not yes or no");
    }

    Colour Color(std::string_view v) const {
        if (v == "none") return {};
        auto hex = [&](std::size_t at, std::size_t n) {
            unsigned value = 0;
            const auto [end, ec] = std::from_chars(v.data() + at, v.data() + at + n, value, 16);
            if (ec != std::errc() || end != v.data() + at + n) Fail("'" + std::string(v) + "' is not a colour (#rrggbb)");
            return static_cast<std::uint8_t>(n == 1 ? value * 17 : value);
        };
        if (v.empty() || v.front() != '#' || (v.size() != 4 && v.size() != 7 && v.size() != 9)) {
            Fail("'" + std::string(v) + "' is not a colour (#rgb, #rrggbb, #rrggbbaa or none)");
        }
        if (v.size() == 4) return {hex(1, 1), hex(2, 1), hex(3, 1), 255};
        return {hex(1, 2), hex(3, 2), hex(5, 2), v.size() == 9 ? hex(7, 2) : std::uint8_t{255}};
    }

    Font FontOf(std::string_view v) const {
        const std::vector<std::string_view> parts = SplitCommas(v);
        if (parts.size() < 2 || parts[0].empty()) Fail("a font is 'Family, SIZE[px|pt][, bold][, italic]'");
        Font font;
        font.family = std::string(parts[0]);
        std::string_view size = parts[1];
        if (size.ends_with("pt")) font.points = true;
        if (size.ends_with("pt") || size.ends_with("px")) size.remove_suffix(2);
        font.size = Int(Trim(size), 4, 200);
        for (std::size_t i = 2; i < parts.size(); ++i) {
            if (parts[i] == "bold") font.bold = true;
            else if (parts[i] == "italic") font.italic = true;
            else Fail("unknown font style '" + std::string(parts[i]) + "' (bold or italic)");
        }
        return font;
    }

    std::string ArtFile(std::string_view v) const {
        if (v.empty()) Fail("an empty art file name");
        const fs::path path = folder_ / fs::path(std::string(v));
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) Fail("the art file '" + path.string() + "' does not exist");
        const QString qpath = QString::fromStdString(path.string());
        const bool ok = path.extension() == ".svg" ? QSvgRenderer(qpath).isValid() : QImageReader(qpath).canRead();
        if (!ok) Fail("the art file '" + path.string() + "' cannot be read as an image");
        return path.string();
    }

    template <typename T, typename F>
    static T Pick(std::string_view v, const std::vector<std::pair<std::string_view, T>>& names, F fail) {
        for (const auto& [name, value] : names) {
            if (v == name) return value;
        }
        fail();
        return names.front().second;
    }
    Align AlignOf(std::string_view v) const {
        return Pick<Align>(v, {{"left", Align::Left}, {"center", Align::Center}, {"right", Align::Right}},
                           [&] { Fail("align is left, center or right"); });
    }
    Elide ElideOf(std::string_view v) const {
        return Pick<Elide>(v, {{"none", Elide::None}, {"left", Elide::Left}, {"middle", Elide::Middle}, {"right", Elide::Right}, {"wrap", Elide::Wrap}},
                           [&] { Fail("elide is none, left, middle, right or wrap"); });
    }

    void Key(const std::string& key, std::string_view v) {
        switch (section_) {
        case SectionKind::Window: return WindowKey(key, v);
        case SectionKind::Menu: return MenuKey(key, v);
        case SectionKind::Object: return ObjectKey(key, v);
        case SectionKind::None: break;
        }
    }

    void WindowKey(const std::string& key, std::string_view v) {
        WindowDef& w = *window_;
        if (key == "size") {
            const auto parts = SplitCommas(v);
            if (parts.size() != 2) Fail("size is 'W, H'");
            w.width = Int(parts[0], 1, 4096);
            w.height = Int(parts[1], 1, 4096);
        } else if (key == "background") {
            w.background = ArtFile(v);
        } else if (key == "shape") {
            if (v != "rect" && v != "alpha") Fail("shape is rect or alpha");
            w.alpha_shape = v == "alpha";
        } else if (key == "fill") {
            w.fill = Color(v);
        } else if (key == "font") {
            w.font = FontOf(v);
        } else if (key == "wheel") {
            w.wheel = std::string(v);
        } else {
            Fail("unknown key '" + key + "' for a window");
        }
    }

    void MenuKey(const std::string& key, std::string_view v) {
        MenuStyle& m = file_.menu;
        if (key == "font") m.font = FontOf(v);
        else if (key == "color") m.color = Color(v);
        else if (key == "background") m.background = Color(v);
        else if (key == "highlight") m.highlight = Color(v);
        else if (key == "highlight-color") m.highlight_color = Color(v);
        else if (key == "border") m.border = Color(v);
        else if (key == "radius") m.radius = Byte(v);
        else Fail("unknown key '" + key + "' for the menu");
    }

    void ObjectKey(const std::string& key, std::string_view v) {
        ObjectDef& o = *object_;
        const Kind k = o.kind;
        const bool text_kind = k == Kind::Button || k == Kind::Label;
        auto is = [&](std::initializer_list<Kind> kinds) { return std::find(kinds.begin(), kinds.end(), k) != kinds.end(); };

        if (key == "rect") {
            const auto parts = SplitCommas(v);
            if (parts.size() != 4) Fail("rect is 'left, top, right, bottom'");
            o.rect = {Int(parts[0], -4096, 4096), Int(parts[1], -4096, 4096), Int(parts[2], -4096, 4096), Int(parts[3], -4096, 4096)};
            if (o.rect.right < o.rect.left || o.rect.bottom < o.rect.top) Fail("rect has its right or bottom edge before its left or top");
            object_rect_set_ = true;
        } else if (key == "visible") {
            o.visible = Bool(v);
        } else if (key == "hint") {
            o.hint = std::string(v);
        } else if (key == "cursor") {
            if (v != "arrow" && v != "hand") Fail("cursor is arrow or hand");
            o.hand_cursor = v == "hand";
        } else if (text_kind && key == (k == Kind::Button ? "caption" : "text")) {
            o.text = std::string(v);
        } else if (text_kind && key == "font") {
            o.font = FontOf(v);
        } else if (text_kind && key == "align") {
            o.align = AlignOf(v);
        } else if (text_kind && key == "elide") {
            o.elide = ElideOf(v);
        } else if (text_kind && key == "padding") {
            o.padding = Byte(v);
        } else if (text_kind && key == "color") {
            o.color = Color(v);
        } else if (is({Kind::Button, Kind::Label, Kind::ScrollBar}) && key == "radius") {
            o.radius = Byte(v);
        } else if (is({Kind::Button, Kind::Label, Kind::Image}) && key == "image") {
            o.art.normal = ArtFile(v);
        } else if (k == Kind::Button) {
            ButtonKey(o, key, v);
        } else if (k == Kind::Label) {
            if (key == "background") o.background = Color(v);
            else if (key == "shadow") o.shadow = Color(v);
            else if (key == "underline") o.underline = Bool(v);
            else Fail("unknown key '" + key + "' for a label");
        } else if (k == Kind::ScrollBar) {
            if (key == "range") o.range = Int(v, 0, 1000000);
            else if (key == "position") o.position = Int(v, 0, 1000000);
            else if (key == "page") o.page = Int(v, 1, 1000000);
            else if (key == "track") o.track = Color(v);
            else if (key == "thumb") o.thumb = Color(v);
            else if (key == "hover-thumb") o.hover_thumb = Color(v);
            else Fail("unknown key '" + key + "' for a scroll bar");
        } else {
            Fail("unknown key '" + key + "' for an image");
        }
    }

    void ButtonKey(ObjectDef& o, const std::string& key, std::string_view v) {
        const std::unordered_map<std::string, Colour*> colours = {
            {"hover-color", &o.hover_color}, {"pressed-color", &o.pressed_color}, {"disabled-color", &o.disabled_color},
            {"face", &o.face}, {"hover-face", &o.hover_face}, {"pressed-face", &o.pressed_face},
            {"disabled-face", &o.disabled_face}, {"border", &o.border}, {"glow", &o.glow}, {"accent", &o.accent}};
        const std::unordered_map<std::string, std::string*> art = {
            {"hover-image", &o.art.hover}, {"pressed-image", &o.art.pressed}, {"disabled-image", &o.art.disabled}};
        if (const auto c = colours.find(key); c != colours.end()) *c->second = Color(v);
        else if (const auto a = art.find(key); a != art.end()) *a->second = ArtFile(v);
        else if (key == "disabled") o.disabled = Bool(v);
        else if (key == "border-width") o.border_width = Byte(v);
        else Fail("unknown key '" + key + "' for a button");
    }

    enum class SectionKind { None, Window, Object, Menu };

    SkinFile file_;
    fs::path folder_;
    int line_ = 0;
    SectionKind section_ = SectionKind::None;
    std::optional<WindowDef> window_;
    std::optional<ObjectDef> object_;
    bool object_rect_set_ = false;
};

} // namespace

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

const WindowDef* SkinFile::FindWindow(std::string_view name) const {
    for (const WindowDef& w : windows) {
        if (SameName(w.name, name)) return &w;
    }
    return nullptr;
}

SkinFile ParseSkinFile(const std::string& path) { return Parser(path).Run(); }

} // namespace skin
