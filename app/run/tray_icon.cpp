#include "tray_icon.h"

#include "platform/shell/folders.h"

#include <cstdio>

TrayIcon::TrayIcon() : library_(shell::ProgramFolder() + "/libSysTrayDLL.so") {}

void* TrayIcon::Function(const char* name) {
    void* fn = library_.Symbol(name);
    if (fn == nullptr && !warned_) {
        std::fprintf(stderr, "Marbleway: no notification-area icon: %s\n", library_.Error().c_str());
        warned_ = true;
    }
    return fn;
}

bool TrayIcon::ADDICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip) {
    if (observer) observer("ADDICON", tip);
    bool shown = false;
    if (auto* fn = reinterpret_cast<std::int32_t (*)(std::uintptr_t, std::uintptr_t, const char*)>(Function("ADDICON")))
        shown = fn(window, icon, tip.c_str()) != 0;
    return notificationArea.value_or(shown);
}

bool TrayIcon::ICONSHOWN(std::uintptr_t window) {
    bool shown = false;
    if (auto* fn = reinterpret_cast<std::int32_t (*)(std::uintptr_t)>(Function("ICONSHOWN"))) shown = fn(window) != 0;
    return notificationArea.value_or(shown);
}

void TrayIcon::MODIFYICON(std::uintptr_t window, std::uintptr_t icon, const std::string& tip) {
    if (observer) observer("MODIFYICON", tip);
    if (auto* fn = reinterpret_cast<void (*)(std::uintptr_t, std::uintptr_t, const char*)>(Function("MODIFYICON"))) fn(window, icon, tip.c_str());
}

void TrayIcon::DELETEICON(std::uintptr_t window) {
    if (observer) observer("DELETEICON", {});
    if (auto* fn = reinterpret_cast<void (*)(std::uintptr_t)>(Function("DELETEICON"))) fn(window);
}

void TrayIcon::NOTIFYICON(std::uintptr_t window, const std::string& title, const std::string& text) {
    if (observer) observer("NOTIFYICON", text);
    if (auto* fn = reinterpret_cast<void (*)(std::uintptr_t, const char*, const char*)>(Function("NOTIFYICON")))
        fn(window, title.c_str(), text.c_str());
}
