#include "module_folder.h"

#include <dlfcn.h>

#include <filesystem>

namespace kernel {
namespace {
namespace fs = std::filesystem;

std::string ParentOf(const fs::path& file) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec);
    return (ec ? file : absolute).parent_path().string();
}

} // namespace

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string ModuleFolder(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0')
        return ExecutableFolder();
    // The main program's own name may come back as it was typed (argv[0]).
    const fs::path file(info.dli_fname);
    return file.has_parent_path() ? ParentOf(file) : ExecutableFolder();
}

} // namespace kernel
