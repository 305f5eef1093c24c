#include "path_text.h"

std::int16_t LastInStr(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return 0;
    const std::size_t at = text.rfind(pattern);
    // Positions past the 16-bit range cannot be told; no path gets that long.
    return at == std::string_view::npos || at >= 32767 ? std::int16_t{0} : static_cast<std::int16_t>(at + 1);
}

std::string GetFileName(std::string_view path) {
    return std::string(path.substr(static_cast<std::size_t>(LastInStr(path, "/"))));
}

std::string& AddBackslash(std::string& path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}
