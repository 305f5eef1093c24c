#include "object.h"

#include <algorithm>

namespace skin {
namespace {

void Put(std::uint8_t* at, const Colour& c) {
    at[0] = c.r;
    at[1] = c.g;
    at[2] = c.b;
    at[3] = c.a;
}

ButtonColorRecord ButtonRecordOf(const ObjectDef& d) {
    ButtonColorRecord r{};
    Put(&r[0], d.face);
    Put(&r[4], d.hover_face);
    Put(&r[8], d.pressed_face);
    Put(&r[12], d.disabled_face);
    Put(&r[16], d.border);
    Put(&r[20], d.disabled_color);
    r[24] = d.radius;
    r[25] = d.border_width;
    r[26] = static_cast<std::uint8_t>(d.align);
    r[27] = static_cast<std::uint8_t>(d.elide);
    r[28] = d.padding;
    Put(&r[40], d.glow);
    Put(&r[56], d.accent);
    Put(&r[60], d.color);
    Put(&r[64], d.hover_color);
    Put(&r[68], d.pressed_color);
    return r;
}

LabelColorRecord LabelRecordOf(const ObjectDef& d) {
    LabelColorRecord r{};
    Put(&r[0], d.background);
    Put(&r[4], d.color);
    Put(&r[8], d.shadow);
    r[12] = static_cast<std::uint8_t>(d.align);
    r[13] = static_cast<std::uint8_t>(d.elide);
    r[14] = d.underline ? 1 : 0;
    r[15] = d.padding;
    return r;
}

} // namespace

Object::Object(const ObjectDef& def)
    : def_(def), rect_(def.rect), visible_(def.visible), disabled_(def.disabled), text_(def.text), hint_(def.hint),
      button_colors_(ButtonRecordOf(def)), label_colors_(LabelRecordOf(def)), position_(def.position), range_(def.range) {}

void Object::Changed(bool repaint_now) {
    if (host_ != nullptr) host_->ObjectChanged(*this, repaint_now);
}

void Object::SetRect(const Rect& rect) {
    if (rect == rect_) return;
    rect_ = rect;
    Changed();
}

void Object::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void Object::SetHintText(std::string hint) { hint_ = std::move(hint); }

void Object::Repaint() { Changed(true); }

void Object::SetCaption(std::string caption) {
    if (caption == text_) return;
    text_ = std::move(caption);
    Changed();
}

void Object::SetDisabled(bool disabled) {
    if (disabled == disabled_) return;
    disabled_ = disabled;
    Changed();
}

void Object::SetButtonColors(const ButtonColorRecord& record) {
    button_colors_ = record;
    Changed();
}

void Object::SetLabelColors(const LabelColorRecord& record) {
    label_colors_ = record;
    Changed();
}

void Object::SetPosition(std::int32_t position) {
    position = std::clamp(position, 0, range_);
    if (position == position_) return;
    position_ = position;
    Changed();
}

void Object::SetRange(std::int32_t range) {
    range_ = std::max(range, 0);
    position_ = std::min(position_, range_);
    Changed();
}

} // namespace skin
