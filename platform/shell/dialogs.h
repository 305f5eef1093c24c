// The shell's standard dialogs: the folder browser (SHBrowseForFolder with
// SHGetPathFromIDList) and the open-file dialog of the common dialog control.
// Both are modal over the window whose native id is owner and need a
// QApplication.
#pragma once

#include <cstdint>
#include <string>

namespace shell {

// The folder the user picks, without a trailing "/" (except the root), or the
// empty text when the user cancels. The browser opens at start, or at the
// user's home folder where start is empty or no folder.
std::string BrowseForFolder(std::uintptr_t owner, const std::string& title, const std::string& start = {});

// filter is the common dialog's "Description|pattern[|Description|pattern...]";
// patterns match ignoring letter case, as on Windows. On a choice, file_name
// is the full path and file_title the name without its folder, both exactly as
// the file system spells them; both are empty when the user cancels.
struct OpenFileResult {
    std::string file_title;
    std::string file_name;
};
OpenFileResult ShowOpen(std::uintptr_t owner, const std::string& filter, const std::string& start = {});

} // namespace shell
