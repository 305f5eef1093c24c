// The windows of a platform service (a message box, a dialog) are drawn with
// Qt Widgets, which only a program that runs a QApplication should map. They
// live in plugins beside the library that shows them and are loaded on first
// use, and only into a process that has Qt Widgets already: a headless tool
// never maps Qt.
#pragma once

namespace ui {

// The function symbol of the plugin file (a name such as "libui-qt.so", found
// in the folder of the library calling this), loading it once; null when the
// process has no Qt Widgets or the plugin can't be loaded. A loaded plugin
// stays for the life of the process, as Qt's own plugins do.
void* QtPluginSymbol(const char* plugin, const char* symbol);

} // namespace ui

// Declares a plugin function with the visibility the loader needs.
#define UI_QT_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
