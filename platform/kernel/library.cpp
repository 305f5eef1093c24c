#include "library.h"

#include <dlfcn.h>

namespace kernel {

Library::~Library() {
    if (handle_ != nullptr) dlclose(handle_);
}

void* Library::Symbol(const char* name) {
    if (handle_ == nullptr) {
        // Never unmapped: a library may register types with GLib, which
        // keeps them (and calls into them) until the process ends.
        handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle_ == nullptr) {
            const char* why = dlerror();
            error_ = why != nullptr ? why : "cannot load " + path_;
            return nullptr;
        }
    }
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) error_ = path_ + " has no function " + name;
    return symbol;
}

} // namespace kernel
