// The kernel's folder queries: GetWindowsDirectoryA and the program folder
// (the folder of the running executable).
#pragma once

#include <cstdint>
#include <string>

namespace shell {

// Copies the folder that stands for the Windows directory into buffer: the
// user's configuration folder, $XDG_CONFIG_HOME/Marbleway (by default
// ~/.config/Marbleway), without a trailing "/". The folder is created if it is
// missing, as the Windows directory always exists. Returns the length copied
// without the NUL, or 0 (buffer untouched) when no home folder is known or the
// path does not fit in size - 1 bytes.
std::uint32_t GetWindowsDirectory(char* buffer, std::uint32_t size);

// The folder of the running executable, without a trailing "/" (except for the
// root, "/"). Never empty.
std::string ProgramFolder();

// The user's home folder ($HOME, else the password database's); empty when
// neither knows one.
std::string HomeFolder();

// Whether files can be made in folder by this process.
bool IsWritableFolder(const std::string& folder);

// The user's videos folder (XDG's, ~/Videos by default), created if it is
// missing; the home folder where that can't be had; empty when neither is
// known. No trailing "/". (In platform-shell-qt: Qt reads XDG's user folders.)
std::string VideosFolder();

// Makes ProgramFolder answer folder instead (a test's own program folder); an
// empty folder restores the executable's.
void SetProgramFolder(std::string folder);

} // namespace shell
