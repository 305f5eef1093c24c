// Where the running program and its libraries are on disk, as
// GetModuleFileName tells it: the folder of the executable, or of the shared
// object that holds a given address.
#pragma once

#include <string>

namespace kernel {

// The folder of the running executable, without a trailing "/"; the current
// folder when /proc can't tell.
std::string ExecutableFolder();

// The folder of the loaded module (executable or shared object) that holds
// address, without a trailing "/"; the executable's folder when no module does.
std::string ModuleFolder(const void* address);

} // namespace kernel
