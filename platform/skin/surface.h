// The widget that draws a skinned window and turns mouse input into the
// skin's events. It fills its window; the window itself draws nothing.
#pragma once

#include "skin.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace skin {

class ArtCache;

class Surface final : public QWidget, public ObjectHost {
public:
    Surface(QWidget* window, const SkinFile& file, const SkinWindow& skin_window, Events& events);
    ~Surface() override;

    void ObjectChanged(const Object& object, bool repaint_now) override;
    void ShowMenu(const Menu& menu, int x, int y);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    Object* Hit(QPoint p) const;
    void SetHover(Object* object);
    void Track(QPoint p);
    void ScrollBy(Object& bar, std::int32_t delta);
    void DrawButton(QPainter& p, const Object& o) const;
    void DrawLabel(QPainter& p, const Object& o) const;
    void DrawScrollBar(QPainter& p, const Object& o) const;
    void DrawArt(QPainter& p, const std::string& file, const QRectF& box) const;
    QFont FontOf(const ObjectDef& def) const;

    const SkinFile& file_;
    const SkinWindow& skin_window_;
    Events& events_;
    std::unique_ptr<ArtCache> art_;
    Object* hover_ = nullptr;
    Object* pressed_ = nullptr;
    Object* dragged_bar_ = nullptr;
    double drag_grip_ = 0;           // where on the thumb the pointer holds it
    bool moving_window_ = false;
    QPoint move_grip_;               // the pointer relative to the window's corner
};

} // namespace skin
