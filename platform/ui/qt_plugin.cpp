#include "qt_plugin.h"

#include "platform/kernel/module_folder.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

namespace ui {

void* QtPluginSymbol(const char* plugin, const char* symbol) {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (widgets == nullptr) return nullptr;
    dlclose(widgets);  // only the reference RTLD_NOLOAD took

    static std::mutex lock;
    static std::map<std::string, void*> loaded;
    std::lock_guard guard(lock);
    void*& handle = loaded[plugin];
    if (handle == nullptr) {
        const std::string path = kernel::ModuleFolder(reinterpret_cast<const void*>(&QtPluginSymbol)) + "/" + plugin;
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle == nullptr) return nullptr;
    }
    return dlsym(handle, symbol);
}

} // namespace ui
