// The program's side of the notification-area library: libSysTrayDLL.so from
// the program folder, loaded at the first call of one of its functions, each
// function looked up at its own first call. Without the library the calls do
// nothing and the program goes on, as where the desktop has no notification
// area: ADDICON and ICONSHOWN then answer false.
#pragma once

#include "platform/kernel/library.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class TrayIcon {
public:
    TrayIcon();

    // Whether a notification area took the icon.
    bool ADDICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip);
    void MODIFYICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip);
    void DELETEICON(std::uintptr_t window);
    void NOTIFYICON(std::uintptr_t window, const std::string& title, const std::string& text);
    // Whether the window's icon sits in a notification area now.
    bool ICONSHOWN(std::uintptr_t window);

    // Told of every call (the function's name and the tip, or a notification's
    // text), for tests.
    std::function<void(const std::string& function, const std::string& tip)> observer;
    // Whether the desktop has a notification area, whatever the library says:
    // for tests of both kinds of desktop.
    std::optional<bool> notificationArea;

private:
    void* Function(const char* name);

    kernel::Library library_;
    bool warned_ = false;
};
