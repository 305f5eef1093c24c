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

using AddOrModify = void (*)(uintptr_t, uintptr_t, const char*);
using Delete = void (*)(uintptr_t);

int Icons() { return static_cast<int>(qApp->findChildren<QSystemTrayIcon*>().size()); }

TEST(SysTrayLibrary, ExportsExactlyItsFourFunctions) {
    const std::string command = "nm -D --defined-only '" SYSTRAY_LIBRARY "' | awk '$2 == \"T\" {print $3}' | sort";
    std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_TRUE(nm);
    std::string names;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, nm.get()) != nullptr) names += buffer;
    EXPECT_EQ(names, "ADDICON\nDELETEICON\nMODIFYICON\nNOTIFYICON\n");
}

TEST(SysTrayLibrary, LoadsByFileNameAndKeepsOneIconPerWindow) {
    for (int round = 0; round < 2; ++round) {
        void* library = dlopen(SYSTRAY_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto add = reinterpret_cast<AddOrModify>(dlsym(library, "ADDICON"));
        auto modify = reinterpret_cast<AddOrModify>(dlsym(library, "MODIFYICON"));
        auto remove = reinterpret_cast<Delete>(dlsym(library, "DELETEICON"));
        ASSERT_TRUE(add && modify && remove);

        QWidget window;
        const auto handle = static_cast<uintptr_t>(window.winId());
        QIcon icon(SYSTRAY_ICON);
        modify(handle, reinterpret_cast<uintptr_t>(&icon), "Progressing:42%");
        remove(handle);
        EXPECT_EQ(Icons(), 0) << "calls for a window without an icon do nothing";

        add(handle, reinterpret_cast<uintptr_t>(&icon), "Corvenna");
        add(handle, reinterpret_cast<uintptr_t>(&icon), "Corvenna");
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
