#include "damaged_media.h"

#include "temp_folder.h"

#include <random>

namespace testing_media {

void Scramble(std::string& bytes) {
    std::mt19937 noise(7);
    for (std::size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
        auto* p = reinterpret_cast<unsigned char*>(bytes.data() + at);
        if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] != 0xBA) continue;
        unsigned char* pes = p + 14 + (p[13] & 7);
        if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[3] != 0xE0 && pes[3] != 0xBD)) continue;
        pes[6] |= 0x10;
        for (std::size_t i = 128; i < 2048; ++i) p[i] = static_cast<unsigned char>(noise());
    }
}

void WriteChanged(const std::string& from, const std::string& path, void (*edit)(std::string&)) {
    std::string bytes = testing_support::ReadFile(from);
    edit(bytes);
    testing_support::WriteFile(path, bytes);
}

} // namespace testing_media
