// Small operations on path texts. The separator is "/", where Windows had "\".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The 1-based position of the last occurrence of pattern in text, compared
// exactly; 0 when there is none (or pattern is empty).
std::int16_t LastInStr(std::string_view text, std::string_view pattern);

// The text after the path's last "/"; the whole path when it has none.
std::string GetFileName(std::string_view path);

// Appends "/" to path unless it ends with one already; returns path.
std::string& AddBackslash(std::string& path);
