#include "settings_store.h"

#include "platform/profile/profile.h"
#include "platform/shell/folders.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr std::uint32_t kApiBufferSize = 255;

std::string& IniPath() {
    static std::string path;
    return path;
}

} // namespace

const std::string& IniFileName() { return IniPath(); }

void SetUpIniFile() {
    std::string buffer(kApiBufferSize, ' ');
    shell::GetWindowsDirectory(buffer.data(), kApiBufferSize);
    IniPath() = TrimApiString(buffer) + "/DVD.ini";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(IniPath(), ec)) WriteIniValue("SavePath", "PathName", DefaultOutputFolder() + "/");
}

std::string DefaultOutputFolder() {
    // An installed program's folder (/usr/lib/marbleway) is not the user's to write in.
    const std::string program = shell::ProgramFolder();
    if (shell::IsWritableFolder(program)) return program;
    const std::string videos = shell::VideosFolder();
    return videos.empty() ? program : videos;
}

std::string LastDialogFolder() {
    const std::string folder = ReadIniValue("Dialogs", "LastFolder");
    std::error_code ec;
    return folder != "0" && std::filesystem::is_directory(folder, ec) ? folder : std::string();
}

void RememberDialogFolder(const std::string& folder) { WriteIniValue("Dialogs", "LastFolder", folder); }

std::string ReadIniValue(std::string_view section, std::string_view key) {
    std::string buffer(kApiBufferSize, ' ');
    profile::GetPrivateProfileString(section, key, "0", buffer.data(), kApiBufferSize, IniFileName());
    return TrimApiString(buffer);
}

void WriteIniValue(std::string_view section, std::string_view key, std::string_view value) {
    profile::WritePrivateProfileString(section, key, value, IniFileName());
}

std::string TrimApiString(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    return std::string(text);
}
