// libSysTrayDLL.so as the program uses it: loaded by file name, each function
// looked up by name, and safe to call for a window that has no icon.
#include "platform/systray/systray.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using Add = int32_t (*)(uintptr_t, uintptr_t, const char*);
using Modify = void (*)(uintptr_t, uintptr_t, const char*);
using Shown = int32_t (*)(uintptr_t);
using Delete = void (*)(uintptr_t);

int Icons() { return static_cast<int>(qApp->findChildren<QSystemTrayIcon*>().size()); }

TEST(SysTrayLibrary, ExportsExactlyItsFiveFunctions) {
    const std::string command = "nm -D --defined-only '" SYSTRAY_LIBRARY "' | awk '$2 == \"T\" {print $3}' | sort";
    std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_TRUE(nm);
    std::string names;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, nm.get()) != nullptr) names += buffer;
    EXPECT_EQ(names, "ADDICON\nDELETEICON\nICONSHOWN\nMODIFYICON\nNOTIFYICON\n");
}

TEST(SysTrayLibrary, LoadsByFileNameAndKeepsOneIconPerWindow) {
    for (int round = 0; round < 2; ++round) {
        void* library = dlopen(SYSTRAY_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto add = reinterpret_cast<Add>(dlsym(library, "ADDICON"));
        auto modify = reinterpret_cast<Modify>(dlsym(library, "MODIFYICON"));
        auto remove = reinterpret_cast<Delete>(dlsym(library, "DELETEICON"));
        auto shown = reinterpret_cast<Shown>(dlsym(library, "ICONSHOWN"));
        ASSERT_TRUE(add && modify && remove && shown);

        QWidget window;
        const auto handle = static_cast<uintptr_t>(window.winId());
        QIcon icon(SYSTRAY_ICON);
        modify(handle, reinterpret_cast<uintptr_t>(&icon), "Progressing:42%");
        remove(handle);
        EXPECT_EQ(Icons(), 0) << "calls for a window without an icon do nothing";

        // The offscreen desktop has no notification area, and the library says so.
        EXPECT_EQ(add(handle, reinterpret_cast<uintptr_t>(&icon), "Corvenna"), 0);
        EXPECT_EQ(add(handle, reinterpret_cast<uintptr_t>(&icon), "Corvenna"), 0);
        EXPECT_EQ(shown(handle), 0);
        ASSERT_EQ(Icons(), 1);
        QSystemTrayIcon* tray = qApp->findChildren<QSystemTrayIcon*>().front();
        EXPECT_EQ(tray->toolTip(), "Corvenna");
        modify(handle, 0, "Progressing:42%");
        EXPECT_EQ(tray->toolTip(), "Progressing:42%");
        remove(handle);
        remove(handle);
        EXPECT_EQ(Icons(), 0);
        dlclose(library);
    }
}

} // namespace
