// The skinned surface for screen readers (AT-SPI through Qt's accessibility):
// the surface draws its objects itself, so they are described one by one.
// Buttons are push buttons named by their caption (or by the name the
// program gives them where the skin shows only art), with their disabled
// and focused states and a press action that clicks them; list rows make one
// list; the status line is a status bar whose changes are announced.
#pragma once

#include <string>

class QAccessibleInterface;
class QObject;

namespace skin {

class Object;
class Surface;

// What a screen reader is told an object is.
enum class AccessibleRole {
    Default,    // buttons: push buttons; labels: text
    StatusBar,  // a label whose changes are announced
    ListRow,    // a button that is a row of the window's one list
};

// Installs the description of surfaces with Qt (once per process).
void InstallAccessibility();

// Tells screen readers that object's text changed (the status line's), or
// that the keyboard focus moved to object.
void AnnounceChange(Surface& surface, const Object& object);
void AnnounceFocus(Surface& surface, const Object& object);
// Tells screen readers that object came into the window or left it (shown or
// hidden, or moved between the panels).
void AnnounceShown(Surface& surface, const Object& object, bool shown);
// Whether a screen reader should hear of object: shown, a button or text,
// inside the window.
bool Exposed(const Surface& surface, const Object& object);

// For tests, where no screen reader is there to activate Qt's accessibility:
// every announcement goes to observer too (null: none).
void ObserveAnnouncements(void (*observer)(QAccessibleInterface* object, bool focus));

// Lets go of the descriptions of surface's objects, as the surface goes.
void ForgetAccessibility(const Surface& surface);

} // namespace skin
