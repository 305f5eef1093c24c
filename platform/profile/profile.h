// Windows private-profile strings (GetPrivateProfileStringA and
// WritePrivateProfileStringA) on plain INI text files.
//
// Sections and keys are matched ignoring ASCII letter case; the first section
// and the first key of a name win. Lines starting with ';' or '#' are comments.
// Text is UTF-8 and passes through unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace profile {

// Copies the value of key in section of file into buffer, or default_text when
// the file, the section or the key is missing. Blanks around the value are
// dropped, and so is one pair of matching quotes around it. At most size - 1
// bytes are copied, then a NUL; the bytes of buffer after that NUL are left as
// they were. Returns the number of bytes copied, without the NUL. size 0
// copies nothing.
std::uint32_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                      std::string_view default_text, char* buffer,
                                      std::uint32_t size, const std::string& file);

// Sets key in section of file to value. A missing file, section or key is
// created; every other line of the file stays byte for byte as it was. The new
// file replaces the old one in one rename, so a crash or a full disk never
// leaves a half-written file, and writers in other processes are serialised by
// an advisory lock on the file's folder, so none loses another's keys.
// Returns false, and leaves the file as it was, when it cannot be written or
// when what is written could not be read back: a line break or a NUL in
// section, key or value, blanks around section or key, a ']' in section, a
// '=' in key or a key that starts like a comment or a section.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& file);

} // namespace profile
