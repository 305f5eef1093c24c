#include "surface.h"

#include <QApplication>
#include <QBitmap>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace skin {

// Decoded art, one entry a file, kept while the window lives.
class ArtCache {
public:
    void Draw(QPainter& p, const std::string& file, const QRectF& box) {
        if (file.ends_with(".svg")) {
            auto& renderer = svg_[file];
            if (!renderer) renderer = std::make_unique<QSvgRenderer>(QString::fromStdString(file));
            renderer->render(&p, box);
            return;
        }
        auto it = images_.find(file);
        if (it == images_.end()) it = images_.emplace(file, QImage(QString::fromStdString(file))).first;
        p.drawImage(box, it->second);
    }

private:
    std::unordered_map<std::string, std::unique_ptr<QSvgRenderer>> svg_;
    std::unordered_map<std::string, QImage> images_;
};

namespace {

QColor ColourAt(const std::uint8_t* c) { return QColor(c[0], c[1], c[2], c[3]); }
QColor ColourOf(const Colour& c) { return QColor(c.r, c.g, c.b, c.a); }
bool Shows(const std::uint8_t* c) { return c[3] != 0; }

QRectF BoxOf(const Rect& r) { return QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top); }

Qt::TextElideMode ElideMode(std::uint8_t e) {
    switch (static_cast<Elide>(e)) {
    case Elide::Left: return Qt::ElideLeft;
    case Elide::Middle: return Qt::ElideMiddle;
    case Elide::Right: return Qt::ElideRight;
    case Elide::None:
    case Elide::Wrap: break;
    }
    return Qt::ElideNone;
}

Qt::Alignment AlignmentOf(std::uint8_t a) {
    switch (static_cast<Align>(a)) {
    case Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    case Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

int ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int ShiftOf(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// Where a scroll bar's thumb lies.
struct ThumbPlace {
    bool vertical;
    double start;   // of the track, along the bar
    double length;  // of the thumb
    double travel;  // how far the thumb can move
    double offset;  // of the thumb from the track's start
};

ThumbPlace ThumbOf(const Object& bar) {
    const QRectF box = BoxOf(bar.GetRect());
    ThumbPlace t{};
    t.vertical = box.height() >= box.width();
    const double track = t.vertical ? box.height() : box.width();
    t.start = t.vertical ? box.top() : box.left();
    const double page = bar.Definition().page;
    t.length = std::min(track, std::max(12.0, track * page / (bar.Range() + page)));
    t.travel = track - t.length;
    t.offset = bar.Range() > 0 ? t.travel * bar.Position() / bar.Range() : 0;
    return t;
}

QRectF ThumbBox(const Object& bar, const ThumbPlace& t) {
    const QRectF box = BoxOf(bar.GetRect());
    return t.vertical ? QRectF(box.left(), t.start + t.offset, box.width(), t.length)
                      : QRectF(t.start + t.offset, box.top(), t.length, box.height());
}

} // namespace

Surface::Surface(QWidget* window, const SkinFile& file, const SkinWindow& skin_window, Events& events)
    : QWidget(window), file_(file), skin_window_(skin_window), events_(events), art_(std::make_unique<ArtCache>()) {
    setObjectName("skin-surface");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    InstallAccessibility();
    setAttribute(Qt::WA_OpaquePaintEvent);
    const WindowDef& def = skin_window.Definition();
    setGeometry(0, 0, def.width, def.height);
    for (const auto& object : skin_window.Objects()) object->SetHost(this);
    if (def.alpha_shape && !def.background.empty()) {
        QImage shape(def.width, def.height, QImage::Format_ARGB32_Premultiplied);
        shape.fill(Qt::transparent);
        QPainter p(&shape);
        art_->Draw(p, def.background, QRectF(0, 0, def.width, def.height));
        p.end();
        window->setMask(QBitmap::fromImage(shape.createAlphaMask()));
    } else {
        window->clearMask();
    }
    show();
}

Surface::~Surface() {
    ForgetAccessibility(*this);
    for (const auto& object : skin_window_.Objects()) object->SetHost(nullptr);
}

void Surface::ObjectChanged(const Object& object, bool repaint_now) {
    if (repaint_now) repaint();
    else update();
    const bool exposed = Exposed(*this, object);
    if (const auto was = exposed_.find(&object); was == exposed_.end() || was->second != exposed) {
        const bool known = was != exposed_.end();
        exposed_[&object] = exposed;
        if (known) AnnounceShown(*this, object, exposed);
    }
    // A status line is announced when its text changes, not when it repaints.
    if (DescriptionOf(object).role == AccessibleRole::StatusBar) {
        std::string& said = announced_[&object];
        if (said != object.Text()) {
            said = object.Text();
            AnnounceChange(*this, object);
        }
    }
}

QFont Surface::FontOf(const ObjectDef& def) const {
    const Font& f = def.font ? *def.font : skin_window_.Definition().font;
    QFont font(QString::fromStdString(f.family));
    if (f.points) font.setPointSizeF(f.size);
    else font.setPixelSize(static_cast<int>(f.size));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void Surface::DrawArt(QPainter& p, const std::string& file, const QRectF& box) const { art_->Draw(p, file, box); }

void Surface::paintEvent(QPaintEvent* /*e*/) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const WindowDef& def = skin_window_.Definition();
    p.fillRect(rect(), ColourOf(def.fill));
    if (!def.background.empty()) DrawArt(p, def.background, QRectF(0, 0, def.width, def.height));
    for (const auto& object : skin_window_.Objects()) {
        if (!object->Visible()) continue;
        switch (object->GetKind()) {
        case Kind::Button: DrawButton(p, *object); break;
        case Kind::Label: DrawLabel(p, *object); break;
        case Kind::ScrollBar: DrawScrollBar(p, *object); break;
        case Kind::Image:
            if (!object->Definition().art.normal.empty()) DrawArt(p, object->Definition().art.normal, BoxOf(object->GetRect()));
            break;
        }
    }
    DrawFocus(p);
}

// A mark around the focused button while the window has the keyboard: amber,
// which stands out from dark faces and light ones alike (more than 3:1
// against the dark skin's background and its blue buttons).
void Surface::DrawFocus(QPainter& p) const {
    if (focus_ == nullptr || !hasFocus() || !focus_->Visible()) return;
    const double radius = focus_->ButtonColors()[24] + 2.0;
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xff, 0xc4, 0x1f), 2.0));
    p.drawRoundedRect(BoxOf(focus_->GetRect()).adjusted(-2.5, -2.5, 2.5, 2.5), radius, radius);
    p.restore();
}

std::vector<Object*> Surface::FocusChain() const {
    std::vector<Object*> chain;
    // A button that shows nothing (an empty list row) is nothing to press,
    // and one parked outside the window (the other panel's) is not there.
    const QRectF window(0, 0, width(), height());
    for (const auto& object : skin_window_.Objects())
        if (object->GetKind() == Kind::Button && object->Visible() && !object->Disabled() &&
            (!object->Caption().empty() || !object->Definition().art.normal.empty()) &&
            window.intersects(BoxOf(object->GetRect())))
            chain.push_back(object.get());
    return chain;
}

void Surface::SetFocused(Object* object) {
    if (object == focus_) return;
    focus_ = object;
    update();
    if (focus_ != nullptr && hasFocus()) AnnounceFocus(*this, *focus_);
}

bool Surface::focusNextPrevChild(bool next) {
    const std::vector<Object*> chain = FocusChain();
    if (chain.empty()) return QWidget::focusNextPrevChild(next);
    const auto at = std::find(chain.begin(), chain.end(), focus_);
    std::ptrdiff_t i = at == chain.end() ? (next ? -1 : 0) : at - chain.begin();
    const auto n = static_cast<std::ptrdiff_t>(chain.size());
    i = ((next ? i + 1 : i - 1) % n + n) % n;
    SetFocused(chain[static_cast<std::size_t>(i)]);
    return true;
}

void Surface::focusInEvent(QFocusEvent* e) {
    // A focus that went with its object (hidden, disabled) moves on.
    const std::vector<Object*> chain = FocusChain();
    if (std::find(chain.begin(), chain.end(), focus_) == chain.end()) focus_ = chain.empty() ? nullptr : chain.front();
    update();
    QWidget::focusInEvent(e);
}

void Surface::focusOutEvent(QFocusEvent* e) {
    update();
    QWidget::focusOutEvent(e);
}

void Surface::Press(Object& o) {
    const Rect r = o.GetRect();
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    const QPointer<Surface> alive(this);
    if (events_.MouseDown) events_.MouseDown(o, 1, 0, x, y);
    if (alive && events_.MouseUp) events_.MouseUp(o, 1, 0, x, y);
    if (alive && !o.Disabled() && events_.Click) events_.Click(o);
}

void Surface::keyPressEvent(QKeyEvent* e) {
    const std::vector<Object*> chain = FocusChain();
    if (std::find(chain.begin(), chain.end(), focus_) == chain.end()) {
        SetFocused(chain.empty() ? nullptr : chain.front());
    }
    if (focus_ == nullptr) {
        QWidget::keyPressEvent(e);
        return;
    }
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const QPointer<Surface> alive(this);
    key_press_ = true;
    if (plain && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        Press(*focus_);
    } else if (events_.KeyDown) {
        events_.KeyDown(*focus_, e->key(), ShiftOf(e->modifiers()));
    } else {
        QWidget::keyPressEvent(e);
    }
    if (alive) key_press_ = false;
}

void Surface::DrawButton(QPainter& p, const Object& o) const {
    const ButtonColorRecord& c = o.ButtonColors();
    const Art& art = o.Definition().art;
    const bool hover = &o == hover_;
    const bool pressed = hover && &o == pressed_;
    const QRectF box = BoxOf(o.GetRect());
    const double radius = c[24];

    // Face: the state's art or fill, else the plain one.
    int face = 0;
    const std::string* image = &art.normal;
    if (o.Disabled()) {
        face = 12;
        if (!art.disabled.empty()) image = &art.disabled;
    } else if (pressed) {
        face = 8;
        if (!art.pressed.empty()) image = &art.pressed;
    } else if (hover) {
        face = 4;
        if (!art.hover.empty()) image = &art.hover;
    }
    if (!Shows(&c[face])) face = 0;
    if (!image->empty()) {
        p.save();
        if (o.Disabled() && art.disabled.empty()) p.setOpacity(0.45);
        DrawArt(p, *image, box);
        p.restore();
    }
    if (Shows(&c[face]) || Shows(&c[16])) {
        const double inset = Shows(&c[16]) ? c[25] / 2.0 : 0;
        p.setPen(Shows(&c[16]) && c[25] > 0 ? QPen(ColourAt(&c[16]), c[25]) : Qt::NoPen);
        p.setBrush(Shows(&c[face]) ? QBrush(ColourAt(&c[face])) : Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(inset, inset, -inset, -inset), radius, radius);
    }
    if (hover && !o.Disabled() && Shows(&c[40])) {
        p.setPen(QPen(ColourAt(&c[40]), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), radius, radius);
    }
    if (Shows(&c[56])) p.fillRect(QRectF(box.left(), box.top() + 2, 3, std::max(0.0, box.height() - 4)), ColourAt(&c[56]));

    if (o.Caption().empty()) return;
    QColor text = ColourAt(&c[60]);
    if (o.Disabled()) text = ColourAt(&c[20]);
    else if (pressed && Shows(&c[68])) text = ColourAt(&c[68]);
    else if (hover && Shows(&c[64])) text = ColourAt(&c[64]);
    const QFont font = FontOf(o.Definition());
    const double pad = c[28] + (Shows(&c[56]) ? 5 : 0);
    const QRectF inner = box.adjusted(pad, 0, -c[28], 0);
    const QString caption = QFontMetrics(font).elidedText(QString::fromStdString(o.Caption()), ElideMode(c[27]),
                                                          static_cast<int>(inner.width()));
    p.setFont(font);
    p.setPen(text);
    p.drawText(inner.translated(0, pressed ? 1 : 0), static_cast<int>(AlignmentOf(c[26])), caption);
}

void Surface::DrawLabel(QPainter& p, const Object& o) const {
    const LabelColorRecord& c = o.LabelColors();
    const QRectF box = BoxOf(o.GetRect());
    if (Shows(&c[0])) {
        p.setPen(Qt::NoPen);
        p.setBrush(ColourAt(&c[0]));
        p.drawRoundedRect(box, o.Definition().radius, o.Definition().radius);
    }
    if (!o.Definition().art.normal.empty()) DrawArt(p, o.Definition().art.normal, box);
    if (o.Text().empty()) return;
    QFont font = FontOf(o.Definition());
    font.setUnderline(c[14] != 0);
    const QRectF inner = box.adjusted(c[15], 0, -c[15], 0);
    const bool wrap = static_cast<Elide>(c[13]) == Elide::Wrap;
    const QString text = wrap ? QString::fromStdString(o.Text())
                              : QFontMetrics(font).elidedText(QString::fromStdString(o.Text()), ElideMode(c[13]),
                                                              static_cast<int>(inner.width()));
    const int flags = static_cast<int>(AlignmentOf(c[12])) | (wrap ? Qt::TextWordWrap : 0);
    p.setFont(font);
    if (Shows(&c[8])) {
        p.setPen(ColourAt(&c[8]));
        p.drawText(inner.translated(1, 1), flags, text);
    }
    p.setPen(QColor(c[4], c[5], c[6], c[7] == 0 ? 255 : c[7]));
    p.drawText(inner, flags, text);
}

void Surface::DrawScrollBar(QPainter& p, const Object& o) const {
    const ObjectDef& def = o.Definition();
    const QRectF box = BoxOf(o.GetRect());
    const ThumbPlace t = ThumbOf(o);
    const double radius = std::min<double>(def.radius, std::min(box.width(), box.height()) / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(ColourOf(def.track));
    p.drawRoundedRect(box, radius, radius);
    const bool hot = &o == hover_ || &o == dragged_bar_;
    p.setBrush(ColourOf(hot && def.hover_thumb.a != 0 ? def.hover_thumb : def.thumb));
    p.drawRoundedRect(ThumbBox(o, t), radius, radius);
}

Object* Surface::Hit(QPoint pt) const {
    const auto& objects = skin_window_.Objects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        const Rect r = (*it)->GetRect();
        if ((*it)->Visible() && pt.x() >= r.left && pt.x() < r.right && pt.y() >= r.top && pt.y() < r.bottom) return it->get();
    }
    return nullptr;
}

void Surface::SetHover(Object* object) {
    if (object == hover_) return;
    Object* old = hover_;
    hover_ = object;
    update();
    const bool hand = object != nullptr && object->Definition().hand_cursor && !object->Disabled();
    if (hand) setCursor(Qt::PointingHandCursor);
    else unsetCursor();
    const QPointer<Surface> alive(this);
    if (old != nullptr && events_.MouseOut) events_.MouseOut(*old);
    if (alive && object != nullptr && events_.MouseIn) events_.MouseIn(*object);
}

bool Surface::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const Object* o = Hit(help->pos());
        if (o != nullptr && !o->HintText().empty()) {
            const Rect r = o->GetRect();
            QToolTip::showText(help->globalPos(), QString::fromStdString(o->HintText()), this,
                               QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
        } else {
            QToolTip::hideText();
            e->ignore();
        }
        return true;
    }
    return QWidget::event(e);
}

void Surface::mousePressEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    Object* o = Hit(pt);
    if (o == nullptr || o->GetKind() == Kind::Image) {
        // Bare background moves the window, as a title bar would.
        if (e->button() == Qt::LeftButton) {
            QWindow* handle = window()->windowHandle();
            moving_window_ = handle == nullptr || !handle->startSystemMove();
            move_grip_ = e->globalPosition().toPoint() - window()->pos();
        }
        if (o == nullptr) return;
    }
    if (o->GetKind() == Kind::ScrollBar && e->button() == Qt::LeftButton) {
        const ThumbPlace t = ThumbOf(*o);
        const double along = t.vertical ? e->position().y() : e->position().x();
        if (along >= t.start + t.offset && along < t.start + t.offset + t.length) {
            dragged_bar_ = o;
            drag_grip_ = along - t.start - t.offset;
        } else {
            ScrollBy(*o, along < t.start + t.offset ? -o->Definition().page : o->Definition().page);
        }
    }
    if (o->GetKind() == Kind::ScrollBar) return;  // scroll bars raise scroll events only
    if (!o->Disabled()) {
        pressed_ = o;
        update();
    }
    if (events_.MouseDown) events_.MouseDown(*o, ButtonOf(e->button()), ShiftOf(e->modifiers()), pt.x(), pt.y());
}

void Surface::mouseMoveEvent(QMouseEvent* e) {
    if (moving_window_) {
        window()->move(e->globalPosition().toPoint() - move_grip_);
        return;
    }
    if (dragged_bar_ != nullptr) {
        Track(e->position().toPoint());
        return;
    }
    SetHover(Hit(e->position().toPoint()));
}

void Surface::Track(QPoint pt) {
    Object& bar = *dragged_bar_;
    const ThumbPlace t = ThumbOf(bar);
    if (t.travel <= 0) return;
    const double along = (t.vertical ? pt.y() : pt.x()) - t.start - drag_grip_;
    const auto position = static_cast<std::int32_t>(std::lround(std::clamp(along / t.travel, 0.0, 1.0) * bar.Range()));
    if (position == bar.Position()) return;
    bar.SetPosition(position);
    if (events_.ScrollTrack) events_.ScrollTrack(bar, bar.Position());
}

void Surface::ScrollBy(Object& bar, std::int32_t delta) {
    const std::int32_t before = bar.Position();
    bar.SetPosition(before + delta);
    if (bar.Position() != before && events_.Scroll) events_.Scroll(bar, bar.Position());
}

void Surface::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    moving_window_ = false;
    const QPointer<Surface> alive(this);
    if (dragged_bar_ != nullptr && e->button() == Qt::LeftButton) {
        Object& bar = *dragged_bar_;
        dragged_bar_ = nullptr;
        update();
        if (events_.Scroll) events_.Scroll(bar, bar.Position());
        return;
    }
    Object* o = Hit(pt);
    Object* pressed = pressed_;
    pressed_ = nullptr;
    update();
    if (o == nullptr || o->GetKind() == Kind::ScrollBar) return;
    if (events_.MouseUp) events_.MouseUp(*o, ButtonOf(e->button()), ShiftOf(e->modifiers()), pt.x(), pt.y());
    if (alive && o == pressed && e->button() == Qt::LeftButton && !o->Disabled() && events_.Click) {
        events_.Click(*o);
    }
}

void Surface::mouseDoubleClickEvent(QMouseEvent* e) {
    Object* o = Hit(e->position().toPoint());
    if (o != nullptr && o->GetKind() != Kind::ScrollBar && events_.DblClick) events_.DblClick(*o);
}

void Surface::wheelEvent(QWheelEvent* e) {
    const std::string& wheel = skin_window_.Definition().wheel;
    Object* bar = wheel.empty() ? nullptr : skin_window_.FindObject(wheel);
    Object* under = Hit(e->position().toPoint());
    if (under != nullptr && under->GetKind() == Kind::ScrollBar) bar = under;
    if (bar == nullptr || !bar->Visible()) return;
    const int steps = e->angleDelta().y() / 120;
    if (steps != 0) ScrollBy(*bar, -steps);
}

void Surface::leaveEvent(QEvent* /*e*/) {
    if (dragged_bar_ == nullptr) SetHover(nullptr);
}

void Surface::ShowMenu(const Menu& menu, int x, int y) {
    const MenuStyle& s = file_.menu;
    auto css = [](const Colour& c) { return QString("rgba(%1,%2,%3,%4)").arg(c.r).arg(c.g).arg(c.b).arg(c.a); };
    QMenu popup(this);
    popup.setStyleSheet(QString("QMenu { background: %1; color: %2; border: 1px solid %3; border-radius: %4px;"
                                " font-family: '%5'; font-size: %6px; padding: 4px; }"
                                "QMenu::item { padding: 4px 22px 4px 14px; border-radius: 3px; }"
                                "QMenu::item:selected { background: %7; color: %8; }"
                                "QMenu::separator { height: 1px; background: %3; margin: 4px 8px; }")
                            .arg(css(s.background), css(s.color), css(s.border))
                            .arg(s.radius)
                            .arg(QString::fromStdString(s.font.family))
                            .arg(s.font.size)
                            .arg(css(s.highlight), css(s.highlight_color)));
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i].caption == "-") {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(QString::fromStdString(menu[i].caption));
        action->setObjectName(QString::fromStdString(menu[i].name));
        // Shown only: the window's own shortcuts carry out the command.
        if (!menu[i].shortcut.empty()) {
            action->setShortcut(QKeySequence(QString::fromStdString(menu[i].shortcut)));
            action->setShortcutVisibleInContextMenu(true);
        }
        if (menu[i].checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        action->setData(static_cast<int>(i));
    }
    // A menu the keyboard opened drops from the button it pressed.
    QPoint at(x, y);
    if (key_press_ && focus_ != nullptr) {
        const Rect r = focus_->GetRect();
        at = mapToGlobal(QPoint(r.left, r.bottom + 2));
    }
    const QAction* chosen = popup.exec(at);
    if (chosen == nullptr) return;
    const auto& handler = menu[static_cast<std::size_t>(chosen->data().toInt())].handler;
    if (handler) handler();
}

} // namespace skin
