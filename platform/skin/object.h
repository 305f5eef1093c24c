// A named object of a skinned window, as the skinning control hands it out:
// one object offers the operations of every kind (visual object, button,
// label, scroll bar); its kind decides how it is drawn and which events it
// raises. Objects live as long as the skin window that holds them.
//
// Colour records are the skin's drawing state, read and written whole:
//
// Button record, 72 bytes (colours are R, G, B, A; A = 0 means none):
//   0-3 face, 4-7 hover face, 8-11 pressed face, 12-15 disabled face,
//   16-19 border, 20-23 disabled caption, 24 corner radius, 25 border width,
//   26 align (0 left, 1 center, 2 right), 27 elide (0 none, 1 left, 2 middle,
//   3 right), 28 padding, 29-39 zero;
//   40-43 hover glow, 44-55 zero;
//   56-59 accent bar, 60-63 caption, 64-67 hover caption, 68-71 pressed caption
//   (a hover or pressed caption with A = 0 is the plain caption's colour).
// Label record, 16 bytes:
//   0-3 background, 4-6 text R, G, B, 7 text alpha, 8-11 shadow,
//   12 align, 13 elide, 14 underline (0 or 1), 15 padding.
#pragma once

#include "skin_file.h"

#include <array>
#include <cstdint>
#include <string>

namespace skin {

using ButtonColorRecord = std::array<std::uint8_t, 72>;
using LabelColorRecord = std::array<std::uint8_t, 16>;

class Object;

// Told of every change that shows; repaint_now asks for the drawing at once.
class ObjectHost {
public:
    virtual void ObjectChanged(const Object& object, bool repaint_now) = 0;

protected:
    ~ObjectHost() = default;
};

class Object {
public:
    // An object as def describes it; def must outlive the object.
    explicit Object(const ObjectDef& def);
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Kind GetKind() const { return def_.kind; }
    const std::string& Name() const { return def_.name; }
    const ObjectDef& Definition() const { return def_; }

    // Visual object.
    Rect GetRect() const { return rect_; }
    void SetRect(const Rect& rect);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    const std::string& HintText() const { return hint_; }
    void SetHintText(std::string hint);
    void Repaint();

    // Button. A label's text and a button's caption are one string.
    const std::string& Caption() const { return text_; }
    void SetCaption(std::string caption);
    bool Disabled() const { return disabled_; }
    void SetDisabled(bool disabled);
    const ButtonColorRecord& ButtonColors() const { return button_colors_; }
    void SetButtonColors(const ButtonColorRecord& record);

    // Label.
    const std::string& Text() const { return text_; }
    void SetText(std::string text) { SetCaption(std::move(text)); }
    const LabelColorRecord& LabelColors() const { return label_colors_; }
    void SetLabelColors(const LabelColorRecord& record);

    // Scroll bar: the position runs from 0 to the range, both never negative;
    // a range below the position pulls the position down with it.
    std::int32_t Position() const { return position_; }
    void SetPosition(std::int32_t position);
    std::int32_t Range() const { return range_; }
    void SetRange(std::int32_t range);

    void SetHost(ObjectHost* host) { host_ = host; }

private:
    void Changed(bool repaint_now = false);

    const ObjectDef& def_;
    ObjectHost* host_ = nullptr;
    Rect rect_;
    bool visible_;
    bool disabled_;
    std::string text_;
    std::string hint_;
    ButtonColorRecord button_colors_{};
    LabelColorRecord label_colors_{};
    std::int32_t position_;
    std::int32_t range_;
};

} // namespace skin
