/* The notification-area library SysTrayDLL: one icon per window in the
 * desktop's notification area, on QSystemTrayIcon. Built as its own shared
 * library, libSysTrayDLL.so, which the program loads by file name.
 *
 * window: the window's native id. icon: a QIcon* (the window's icon), read
 * during the call only. tip: UTF-8 text, read during the call only. Every
 * function may be called for a window without an icon, and then does nothing
 * visible; where the desktop has no notification area (GNOME without an
 * extension, many tiling desktops), nothing shows at all, and ADDICON and
 * ICONSHOWN say so.
 * The icon's mouse notifications reach the window as a TrayNotifyEvent
 * carrying the Windows mouse message: 0x201 left button down, 0x203 left
 * double click, 0x204 right button down. User-interface thread only. */
#ifndef MARBLEWAY_SYSTRAY_H
#define MARBLEWAY_SYSTRAY_H

#include <stdint.h>

#ifdef __cplusplus
#include <QEvent>

// Posted to the window when the user clicks its notification-area icon.
class TrayNotifyEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x7a1);
    explicit TrayNotifyEvent(int message) : QEvent(kType), message_(message) {}
    int message() const { return message_; }

private:
    int message_;
};

extern "C" {
#endif

#define SYSTRAY_EXPORT __attribute__((visibility("default")))

/* Returns 1 when a notification area took the icon, 0 when there is none. */
SYSTRAY_EXPORT int32_t ADDICON(uintptr_t window, uintptr_t icon, const char* tip);
SYSTRAY_EXPORT void MODIFYICON(uintptr_t window, uintptr_t icon, const char* tip);
SYSTRAY_EXPORT void DELETEICON(uintptr_t window);
/* 1 while the window's icon sits in a notification area; 0 when the window
 * has none, or the notification area has gone (its panel removed). */
SYSTRAY_EXPORT int32_t ICONSHOWN(uintptr_t window);
/* Shows a desktop notification from the window's icon (title and text: UTF-8,
 * read during the call only). An icon deleted while its notification shows
 * stays until the notification's time is up. */
SYSTRAY_EXPORT void NOTIFYICON(uintptr_t window, const char* title, const char* text);

#ifdef __cplusplus
}
#endif

#endif
