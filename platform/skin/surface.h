// The widget that draws a skinned window and turns mouse input into the
// skin's events. It fills its window; the window itself draws nothing.
#pragma once

#include "accessible.h"
#include "skin.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace skin {

class ArtCache;

class Surface final : public QWidget, public ObjectHost {
public:
    Surface(QWidget* window, const SkinFile& file, const SkinWindow& skin_window, Events& events);
    ~Surface() override;

    void ObjectChanged(const Object& object, bool repaint_now) override;
    void ShowMenu(const Menu& menu, int x, int y);

    // The keyboard focus: one of the buttons that can be pressed; null when
    // there is none.
    Object* Focused() const { return focus_; }
    void SetFocused(Object* object);
    // The buttons Tab reaches, in the order the skin file lists them (its
    // author's reading order): those shown, enabled and showing something.
    std::vector<Object*> FocusChain() const;
    // What a left click in the middle of o raises.
    void Press(Object& o);

    // What screen readers are told of an object (accessible.h).
    struct Description {
        AccessibleRole role = AccessibleRole::Default;
        std::string name;  // empty: the caption
    };
    void Describe(const Object& o, Description d) { descriptions_[&o] = std::move(d); }
    Description DescriptionOf(const Object& o) const {
        const auto it = descriptions_.find(&o);
        return it == descriptions_.end() ? Description{} : it->second;
    }
    const std::string& ListName() const { return list_name_; }
    void SetListName(std::string name) { list_name_ = std::move(name); }
    const SkinWindow& Window() const { return skin_window_; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    Object* Hit(QPoint p) const;
    void SetHover(Object* object);
    void Track(QPoint p);
    void ScrollBy(Object& bar, std::int32_t delta);
    void DrawButton(QPainter& p, const Object& o) const;
    void DrawLabel(QPainter& p, const Object& o) const;
    void DrawScrollBar(QPainter& p, const Object& o) const;
    void DrawArt(QPainter& p, const std::string& file, const QRectF& box) const;
    void DrawFocus(QPainter& p) const;
    QFont FontOf(const ObjectDef& def) const;

    const SkinFile& file_;
    const SkinWindow& skin_window_;
    Events& events_;
    std::unique_ptr<ArtCache> art_;
    Object* hover_ = nullptr;
    Object* pressed_ = nullptr;
    Object* dragged_bar_ = nullptr;
    Object* focus_ = nullptr;
    bool key_press_ = false;  // a press of the keyboard is under way
    std::map<const Object*, Description> descriptions_;
    std::map<const Object*, std::string> announced_;  // a status line's text as last announced
    std::map<const Object*, bool> exposed_;           // whether screen readers were last told it is there
    std::string list_name_;
    double drag_grip_ = 0;           // where on the thumb the pointer holds it
    bool moving_window_ = false;
    QPoint move_grip_;               // the pointer relative to the window's corner
};

} // namespace skin
