// The file a harness writes each input to: in a folder of its own under /tmp,
// removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string ScratchFile(const char* prefix, const char* name) {
    std::string folder = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!::mkdtemp(folder.data())) std::abort();
    static std::string made;
    made = folder;
    std::atexit([] { std::filesystem::remove_all(made); });
    return folder + "/" + name;
}
