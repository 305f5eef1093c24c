#include "folders.h"

#include "platform/kernel/module_folder.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <pwd.h>
#include <unistd.h>


namespace shell {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return {};
}

namespace {

namespace fs = std::filesystem;

std::string ConfigFolder() {
    // XDG asks to ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/Marbleway";
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config/Marbleway";
}

std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}

} // namespace

std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size) {
    const std::string folder = ConfigFolder();
    if (folder.empty() || buffer == nullptr || folder.size() + 1 > size) return 0;
    std::error_code ec;
    fs::create_directories(folder, ec);  // a failure shows later, as a file that cannot be written
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<std::uint32_t>(folder.size());
}

bool IsWritableFolder(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    // Permission bits don't tell it all (root, read-only mounts, FUSE): a
    // file is made and removed again.
    std::string probe = folder + "/.marbleway-write-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

void SetProgramFolder(std::string folder) { ProgramFolderOverride() = std::move(folder); }

std::string ProgramFolder() {
    if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
    return kernel::ExecutableFolder();
}

} // namespace shell
