// The program's side of the notification-area library: libSysTrayDLL.so from
// the program folder, loaded at the first call of one of its functions, each
// function looked up at its own first call. Results are not examined; without
// the library the calls do nothing and the program goes on.
#pragma once

#include "platform/kernel/library.h"

#include <cstdint>
#include <functional>
#include <string>

class TrayIcon {
public:
    TrayIcon();

    void ADDICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip);
    void MODIFYICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip);
    void DELETEICON(std::uintptr_t window);
    void NOTIFYICON(std::uintptr_t window, const std::string& title, const std::string& text);

    // Told of every call (the function's name and the tip, or a notification's
    // text), for tests.
    std::function<void(const std::string& function, const std::string& tip)> observer;

private:
    void* Function(const char* name);

    kernel::Library library_;
    bool warned_ = false;
};
