// The pack layer read without demultiplexing, on program streams written
// pack by pack here: the clock summed across a restart, the pictures' film
// cadence sampled across the file, the scrambling bits counted.
#include "platform/media/source/pack_scan.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

using testing_support::TempFolder;

struct PackOptions {
    bool film = false;       // repeat_first_field on every other picture
    bool scrambled = false;
};

// One 2048-byte DVD pack at clock ticks (90 kHz): a pack header and a video
// PES packet holding eight picture coding extensions.
std::string Pack(std::uint64_t ticks, const PackOptions& o) {
    std::string p(2048, '\0');
    auto* b = reinterpret_cast<unsigned char*>(p.data());
    b[2] = 1;
    b[3] = 0xBA;
    b[4] = static_cast<unsigned char>(0x44 | ((ticks >> 27) & 0x38) | ((ticks >> 28) & 0x03));
    b[5] = static_cast<unsigned char>(ticks >> 20);
    b[6] = static_cast<unsigned char>((((ticks >> 15) & 0x1F) << 3) | 0x04 | ((ticks >> 13) & 0x03));
    b[7] = static_cast<unsigned char>(ticks >> 5);
    b[8] = static_cast<unsigned char>(((ticks & 0x1F) << 3) | 0x04);
    b[9] = 0x01;
    b[10] = 0x01, b[11] = 0x89, b[12] = 0xC3, b[13] = 0xF8;  // mux rate, no stuffing
    unsigned char* pes = b + 14;
    pes[2] = 1;
    pes[3] = 0xE0;
    const std::size_t length = 2048 - 14 - 6;
    pes[4] = static_cast<unsigned char>(length >> 8);
    pes[5] = static_cast<unsigned char>(length);
    pes[6] = o.scrambled ? 0x90 : 0x80;
    for (int i = 0; i < 8; ++i) {
        unsigned char* e = pes + 9 + 32 * i;
        e[2] = 1;
        e[3] = 0xB5;
        e[4] = 0x8F, e[5] = 0xFF, e[6] = 0xF3;
        e[7] = static_cast<unsigned char>(0x80 | (o.film && i % 2 == 0 ? 0x02 : 0x00));
        e[8] = 0x80;  // progressive_frame
    }
    return p;
}

// 1000 packs, 1500 ticks apart (16.7 s); at restart the clock starts again at 0.
std::string Stream(int filmPacks, int restart = -1, bool scrambled = false) {
    std::string s;
    std::uint64_t ticks = 90000;
    for (int i = 0; i < 1000; ++i) {
        if (i == restart) ticks = 45000;
        s += Pack(ticks, {i < filmPacks, scrambled});
        ticks += 1500;
    }
    return s;
}

media::PackScan Scan(const TempFolder& dir, const std::string& bytes) {
    const std::string path = dir / "test.vob";
    std::ofstream(path, std::ios::binary) << bytes;
    std::string error;
    const auto source = media::OpenSourceBytes({path}, error);
    return source ? media::ScanPacks(*source) : media::PackScan{};
}

TEST(PackScan, FilmThroughoutOrMixedAndTheClockAcrossARestart) {
    TempFolder dir;
    const media::PackScan film = Scan(dir, Stream(1000));
    EXPECT_GT(film.videoSamples, 40);
    EXPECT_EQ(film.filmSamples, film.videoSamples);
    EXPECT_NEAR(static_cast<double>(film.durationNs) / 1e9, 16.67, 0.1);
    EXPECT_EQ(film.clockRestarts, 0);
    EXPECT_EQ(film.scrambledPackets, 0);

    const media::PackScan mixed = Scan(dir, Stream(500));
    EXPECT_GT(mixed.filmSamples, 0);
    EXPECT_LT(mixed.filmSamples, mixed.videoSamples) << "film for half the file, then video";

    const media::PackScan restarted = Scan(dir, Stream(0, 500));
    EXPECT_EQ(restarted.filmSamples, 0);
    EXPECT_EQ(restarted.clockRestarts, 1);
    EXPECT_NEAR(static_cast<double>(restarted.durationNs) / 1e9, 16.67, 0.3) << "both runs of the clock count";

    const media::PackScan scrambled = Scan(dir, Stream(0, -1, true));
    EXPECT_GT(scrambled.packetsRead, 1000 - 1);
    EXPECT_EQ(scrambled.scrambledPackets, scrambled.packetsRead);
}

} // namespace
