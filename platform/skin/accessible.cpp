#include "accessible.h"

#include "surface.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace skin {

// The other panel's objects are parked outside the window.
bool Exposed(const Surface& s, const Object& o) {
    if (!o.Visible() || o.GetKind() == Kind::Image || o.GetKind() == Kind::ScrollBar) return false;
    const Rect r = o.GetRect();
    return r.right > 0 && r.bottom > 0 && r.left < s.width() && r.top < s.height();
}

namespace {

QRect Global(const Surface& s, const Rect& r) {
    return QRect(s.mapToGlobal(QPoint(r.left, r.top)), QSize(r.right - r.left, r.bottom - r.top));
}

class ListAccessible;

// One object of the surface.
class ObjectAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ObjectAccessible(Surface* surface, Object* object) : surface_(surface), object_(object) {}

    bool isValid() const override { return surface_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return surface_ ? surface_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!surface_) return {};
        const Surface::Description d = surface_->DescriptionOf(*object_);
        switch (t) {
        case QAccessible::Name:
            if (!d.name.empty()) return QString::fromStdString(d.name);
            // A list row is named by the whole path its hint holds.
            if (d.role == AccessibleRole::ListRow && !object_->HintText().empty())
                return QString::fromStdString(object_->HintText());
            return QString::fromStdString(object_->Caption());
        case QAccessible::Description: return QString::fromStdString(object_->HintText());
        case QAccessible::Value:
            return object_->GetKind() == Kind::Label ? QString::fromStdString(object_->Text()) : QString();
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return surface_ ? Global(*surface_, object_->GetRect()) : QRect(); }

    QAccessible::Role role() const override {
        if (!surface_) return QAccessible::NoRole;
        switch (surface_->DescriptionOf(*object_).role) {
        case AccessibleRole::StatusBar: return QAccessible::StatusBar;
        case AccessibleRole::ListRow: return QAccessible::ListItem;
        case AccessibleRole::Default: break;
        }
        return object_->GetKind() == Kind::Button ? QAccessible::Button : QAccessible::StaticText;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!surface_) return s;
        const bool button = object_->GetKind() == Kind::Button;
        s.disabled = button && object_->Disabled();
        s.focusable = button && !object_->Disabled();
        s.focused = s.focusable && surface_->hasFocus() && surface_->Focused() == object_;
        s.invisible = !Exposed(*surface_, *object_);
        if (surface_->DescriptionOf(*object_).role == AccessibleRole::ListRow) {
            s.selectable = true;
            s.selected = surface_->Focused() == object_;
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ActionInterface && object_->GetKind() == Kind::Button)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (surface_ && name == pressAction() && !object_->Disabled()) surface_->Press(*object_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<Surface> surface_;
    Object* object_;
};

// The window's one list: the rows the program marked as such.
class ListAccessible final : public QAccessibleInterface {
public:
    explicit ListAccessible(Surface* surface) : surface_(surface) {}

    std::vector<Object*> Rows() const {
        std::vector<Object*> rows;
        if (!surface_) return rows;
        for (const auto& o : surface_->Window().Objects())
            if (surface_->DescriptionOf(*o).role == AccessibleRole::ListRow && Exposed(*surface_, *o) &&
                !o->Caption().empty())
                rows.push_back(o.get());
        return rows;
    }

    bool isValid() const override { return surface_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return surface_ ? surface_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return surface_ ? QAccessible::queryAccessibleInterface(surface_.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override;
    int childCount() const override { return static_cast<int>(Rows().size()); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->rect().contains(x, y)) return child(i);
        return nullptr;
    }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && surface_ ? QString::fromStdString(surface_->ListName()) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QRect box;
        if (!surface_) return box;
        for (const auto& o : surface_->Window().Objects())
            if (surface_->DescriptionOf(*o).role == AccessibleRole::ListRow && Exposed(*surface_, *o))
                box = box.united(Global(*surface_, o->GetRect()));
        return box;
    }
    QAccessible::Role role() const override { return QAccessible::List; }
    QAccessible::State state() const override { return {}; }

private:
    QPointer<Surface> surface_;
};

// The interfaces of one surface's objects, made when first asked for and
// registered with Qt, which owns them; forgotten when the surface goes.
struct Registry {
    std::map<const void*, QAccessible::Id> ids;

    QAccessibleInterface* Of(const void* key, const std::function<QAccessibleInterface*()>& make) {
        auto it = ids.find(key);
        if (it == ids.end() || QAccessible::accessibleInterface(it->second) == nullptr) {
            // Qt owns what it registers, and deletes it with its id.
            QAccessibleInterface* made = make();
            it = ids.insert_or_assign(key, QAccessible::registerAccessibleInterface(made)).first;  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
        }
        return QAccessible::accessibleInterface(it->second);
    }
};

std::map<const Surface*, Registry>& Registries() {
    static std::map<const Surface*, Registry> registries;
    return registries;
}

Registry& RegistryOf(const Surface* surface) { return Registries()[surface]; }

QAccessibleInterface* InterfaceOf(Surface* surface, Object* object) {
    return RegistryOf(surface).Of(object, [&] { return new ObjectAccessible(surface, object); });
}

QAccessibleInterface* ListOf(Surface* surface) {
    return RegistryOf(surface).Of(surface, [&] { return new ListAccessible(surface); });
}

QAccessibleInterface* ListAccessible::child(int index) const {
    const std::vector<Object*> rows = Rows();
    if (index < 0 || index >= static_cast<int>(rows.size())) return nullptr;
    return InterfaceOf(surface_.data(), rows[static_cast<std::size_t>(index)]);
}

// The surface: its buttons and texts in the skin file's order, with the list
// standing where its first row does.
class SurfaceAccessible final : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(Surface* surface) : QAccessibleWidget(surface, QAccessible::Client) {}

    Surface* surface() const { return static_cast<Surface*>(widget()); }

    std::vector<QAccessibleInterface*> Children() const {
        std::vector<QAccessibleInterface*> children;
        bool list = false;
        for (const auto& o : surface()->Window().Objects()) {
            if (!Exposed(*surface(), *o)) continue;
            if (surface()->DescriptionOf(*o).role == AccessibleRole::ListRow) {
                if (!list) children.push_back(ListOf(surface()));
                list = true;
                continue;
            }
            children.push_back(InterfaceOf(surface(), o.get()));
        }
        return children;
    }

    int childCount() const override { return static_cast<int>(Children().size()); }
    QAccessibleInterface* child(int index) const override {
        const auto children = Children();
        return index >= 0 && index < static_cast<int>(children.size()) ? children[static_cast<std::size_t>(index)]
                                                                         : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto children = Children();
        const auto it = std::find(children.begin(), children.end(), child);
        return it == children.end() ? -1 : static_cast<int>(it - children.begin());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (QAccessibleInterface* c : Children())
            if (c->rect().contains(x, y)) return c;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        Object* focused = surface()->Focused();
        return focused != nullptr && surface()->hasFocus() ? InterfaceOf(surface(), focused) : nullptr;
    }
};

QAccessibleInterface* ObjectAccessible::parent() const {
    if (!surface_) return nullptr;
    if (surface_->DescriptionOf(*object_).role == AccessibleRole::ListRow) return ListOf(surface_.data());
    return QAccessible::queryAccessibleInterface(surface_.data());
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
    auto* surface = dynamic_cast<Surface*>(object);
    return surface != nullptr ? new SurfaceAccessible(surface) : nullptr;
}

} // namespace

void InstallAccessibility() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

namespace {

void (*g_observer)(QAccessibleInterface*, bool) = nullptr;

void Announce(Surface& surface, const Object& object, QAccessible::Event type) {
    if (!QAccessible::isActive() && g_observer == nullptr) return;
    QAccessibleInterface* iface = InterfaceOf(&surface, const_cast<Object*>(&object));
    if (g_observer != nullptr) g_observer(iface, type == QAccessible::Focus);
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

void AnnounceChange(Surface& surface, const Object& object) { Announce(surface, object, QAccessible::NameChanged); }

void AnnounceFocus(Surface& surface, const Object& object) { Announce(surface, object, QAccessible::Focus); }

void AnnounceShown(Surface& surface, const Object& object, bool shown) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(InterfaceOf(&surface, const_cast<Object*>(&object)),
                           shown ? QAccessible::ObjectShow : QAccessible::ObjectHide);
    QAccessible::updateAccessibility(&event);
    QAccessibleEvent reorder(&surface, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}

void ObserveAnnouncements(void (*observer)(QAccessibleInterface*, bool)) { g_observer = observer; }

void ForgetAccessibility(const Surface& surface) {
    auto& registries = Registries();
    const auto it = registries.find(&surface);
    if (it == registries.end()) return;
    for (const auto& [key, id] : it->second.ids)
        if (QAccessible::accessibleInterface(id) != nullptr) QAccessible::deleteAccessibleInterface(id);
    registries.erase(it);
}

} // namespace skin
