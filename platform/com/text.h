// Conversions between the "ANSI" text of the system code page (UTF-8 here) and
// wide strings (UTF-16), standing in for MultiByteToWideChar / WideCharToMultiByte.
#pragma once

#include <string>
#include <string_view>

namespace com {

std::u16string AnsiToWide(std::string_view ansi);
std::string WideToAnsi(std::u16string_view wide);

} // namespace com
