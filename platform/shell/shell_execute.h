// ShellExecuteA with the verb "open": hands a web address or a "mailto:"
// link to the desktop's program for it (QDesktopServices). Nothing is
// reported; a target nothing opens passes unnoticed.
#pragma once

#include <functional>
#include <string>

namespace shell {

void ShellExecute(const std::string& target);

// Receives every target instead of the desktop (tests); empty restores it.
void SetShellExecuteHook(std::function<void(const std::string& target)> hook);

} // namespace shell
