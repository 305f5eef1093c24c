// The skinning control placed on a window: it loads a skin file, applies one
// of its window definitions to a window (which then draws nothing of its own),
// hands out the window's named objects, raises their mouse and scroll events
// and shows popup menus in the skin's style. Stands in for the Windows
// skinning ActiveX control; built on Qt Widgets.
//
// Everything here runs on the user-interface thread. Event handlers may open
// modal dialogs or menus; they may destroy the control only with deleteLater.
#pragma once

#include <QPointer>

#include "accessible.h"
#include "object.h"
#include "skin_file.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// Mouse buttons as event arguments: 1 left, 2 right, 4 middle. Shift state:
// 1 shift, 2 control, 4 alt. x and y are in client pixels.
struct Events {
    std::function<void(Object& source)> Click;
    std::function<void(Object& source)> DblClick;
    std::function<void(Object& source, int button, int shift, int x, int y)> MouseDown;
    std::function<void(Object& source, int button, int shift, int x, int y)> MouseUp;
    std::function<void(Object& source)> MouseIn;
    std::function<void(Object& source)> MouseOut;
    std::function<void(Object& source, std::int32_t position)> Scroll;       // a scroll that ended
    std::function<void(Object& source, std::int32_t position)> ScrollTrack;  // the thumb being dragged
    // A key pressed on the object that has the keyboard focus, other than
    // those the surface takes itself (Tab and Shift+Tab move the focus; Space
    // and Return press a button as a click in its middle does, raising
    // MouseDown, MouseUp and Click). key: Qt's key code.
    std::function<void(Object& source, int key, int shift)> KeyDown;
};

// A popup menu: items top to bottom; the caption "-" is a separator. The
// handler of the chosen item runs after the menu has closed.
struct MenuItem {
    std::string name;  // the item's own name, such as "ClearMenu"
    std::string caption;
    std::function<void()> handler;
    std::string shortcut = {};  // shown beside the caption, such as "Ctrl+O"
    bool checked = false;       // shown ticked: the choice in force
};
using Menu = std::vector<MenuItem>;

// Answers popup menus instead of the user: returns the index of the chosen
// item, or -1 for none. For tests and for callers without a screen.
using PopupMenuHook = std::function<int(const Menu& menu, int x, int y)>;
void SetPopupMenuHook(PopupMenuHook hook);

class Surface;

// The skin as applied to one window: its objects and its popup menus.
class SkinWindow {
public:
    // The objects of def, a window definition of file.
    SkinWindow(std::shared_ptr<const SkinFile> file, const WindowDef& def);
    ~SkinWindow();
    SkinWindow(const SkinWindow&) = delete;
    SkinWindow& operator=(const SkinWindow&) = delete;

    // The object named name, ignoring letter case; null when the window has none.
    Object* FindObject(std::string_view name) const;
    const std::vector<std::unique_ptr<Object>>& Objects() const { return objects_; }
    const WindowDef& Definition() const { return def_; }

    // Shows menu at screen position (x, y) and waits until it closes; below
    // the focused button instead while the keyboard presses it.
    void ShowPopupMenu(const Menu& menu, int x, int y);

    // Gives the keyboard focus to object (a button that can be pressed) and
    // the window's keyboard to the skin.
    void SetKeyboardFocus(Object* object);
    Object* KeyboardFocus() const;

    // What screen readers are told the object named object is (accessible.h):
    // its role, and a name where its caption is art ("–" for Minimise).
    void Describe(std::string_view object, AccessibleRole role, std::string name = {});
    // The name of the list the ListRow objects make.
    void NameList(std::string name);

private:
    friend class Skin;
    std::shared_ptr<const SkinFile> file_;
    const WindowDef& def_;
    std::vector<std::unique_ptr<Object>> objects_;
    // A child widget of the window, deleted with this; gone already when the
    // window was destroyed first.
    QPointer<Surface> surface_;
};

class Skin {
public:
    Skin();
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Reads the skin file at path. Throws SkinError. Windows the previous skin
    // was applied to keep it until the next ApplySkin.
    void LoadSkin(const std::string& path);

    // Gives the window whose native id is window the definition named name
    // (letter case ignored): its size, shape and objects. Throws SkinError when
    // no skin is loaded, the name is not defined or no such window exists.
    void ApplySkin(std::uintptr_t window, std::string_view name);

    // The skin window of window, or null before ApplySkin.
    SkinWindow* GetSkinWindow(std::uintptr_t window) const;

    Events events;

private:
    std::shared_ptr<const SkinFile> file_;
    std::map<std::uintptr_t, std::unique_ptr<SkinWindow>> windows_;
};

} // namespace skin
