// Sources spoilt as real discs are: for the tests of what the engine makes of
// them.
#pragma once

#include <string>

namespace testing_media {

// What a CSS disc read without decryption gives: the PES headers of video
// and audio packs stay readable with their scrambling bits set, the payload
// from byte 128 of the sector on is noise.
void Scramble(std::string& bytes);

// The bytes of from, changed by edit, written to path.
void WriteChanged(const std::string& from, const std::string& path, void (*edit)(std::string&));

} // namespace testing_media
