#include "skin.h"

#include "surface.h"

#include <QWidget>

namespace skin {
namespace {

PopupMenuHook& Hook() {
    static PopupMenuHook hook;
    return hook;
}

} // namespace

void SetPopupMenuHook(PopupMenuHook hook) { Hook() = std::move(hook); }

SkinWindow::SkinWindow(std::shared_ptr<const SkinFile> file, const WindowDef& def) : file_(std::move(file)), def_(def) {
    objects_.reserve(def.objects.size());
    for (const ObjectDef& o : def.objects) objects_.push_back(std::make_unique<Object>(o));
}

SkinWindow::~SkinWindow() { delete surface_.data(); }

Object* SkinWindow::FindObject(std::string_view name) const {
    for (const auto& o : objects_) {
        if (SameName(o->Name(), name)) return o.get();
    }
    return nullptr;
}

void SkinWindow::SetKeyboardFocus(Object* object) {
    if (surface_ == nullptr) return;
    surface_->SetFocused(object);
    surface_->setFocus(Qt::OtherFocusReason);
}

Object* SkinWindow::KeyboardFocus() const { return surface_ != nullptr ? surface_->Focused() : nullptr; }

void SkinWindow::Describe(std::string_view object, AccessibleRole role, std::string name) {
    const Object* o = FindObject(object);
    if (surface_ != nullptr && o != nullptr) surface_->Describe(*o, {role, std::move(name)});
}

void SkinWindow::NameList(std::string name) {
    if (surface_ != nullptr) surface_->SetListName(std::move(name));
}

void SkinWindow::ShowPopupMenu(const Menu& menu, int x, int y) {
    if (Hook()) {
        const int chosen = Hook()(menu, x, y);
        if (chosen >= 0 && static_cast<std::size_t>(chosen) < menu.size() && menu[chosen].handler) menu[chosen].handler();
        return;
    }
    if (surface_ != nullptr) surface_->ShowMenu(menu, x, y);
}

Skin::Skin() = default;
Skin::~Skin() = default;

void Skin::LoadSkin(const std::string& path) { file_ = std::make_shared<const SkinFile>(ParseSkinFile(path)); }

void Skin::ApplySkin(std::uintptr_t window, std::string_view name) {
    if (!file_) throw SkinError("no skin file is loaded to apply '" + std::string(name) + "' from");
    const WindowDef* def = file_->FindWindow(name);
    if (def == nullptr) throw SkinError(file_->path + ": no window definition named '" + std::string(name) + "'");
    QWidget* host = QWidget::find(static_cast<WId>(window));
    if (host == nullptr) throw SkinError("no window with the handle " + std::to_string(window) + " to apply '" + std::string(name) + "' to");

    windows_.erase(window);
    auto skinned = std::make_unique<SkinWindow>(file_, *def);
    host->setWindowFlag(Qt::FramelessWindowHint);
    host->setFixedSize(def->width, def->height);
    skinned->surface_ = new Surface(host, *file_, *skinned, events);
    windows_.emplace(window, std::move(skinned));
}

SkinWindow* Skin::GetSkinWindow(std::uintptr_t window) const {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

} // namespace skin
