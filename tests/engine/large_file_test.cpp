// An AVI past 1 GB: OpenDML (a second RIFF, "AVIX", super indexes and dmlh),
// read whole by libavformat and by GStreamer. Thirty minutes of the
// ten-minute clip, its clock starting again twice, through Motion JPEG. It
// takes minutes: CTest runs it with the label "large" only (ctest -L large).
#include "avi_reader.h"
#include "engine_fixture.h"
#include "sync_marks.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

TEST_F(EngineTest, PastOneGigabyteTheFileIsOpenDmlAndReadWhole) {
    const std::string source = Out("thirty-minutes.vob"), dst = Out("thirty-minutes.avi");
    {
        std::ofstream joined(source, std::ios::binary);
        for (int i = 0; i < 3; ++i) joined << std::ifstream(Media("ten-minutes.vob"), std::ios::binary).rdbuf();
    }
    const auto listed = vfw::InstalledCompressors();
    const auto it = std::find_if(listed.begin(), listed.end(), [](auto& c) { return c.fourcc == "MJPG"; });
    ASSERT_NE(it, listed.end());
    answer.compressor = static_cast<int>(it - listed.begin());
    ASSERT_EQ(DoInit(0, source.c_str(), dst.c_str(), 0), 0);
    StartComp();
    EXPECT_EQ(RunToEnd(std::chrono::minutes(30)).back(), 100);
    StopComp();
    DoUninit();
    EXPECT_TRUE(boxes.empty()) << boxes.front();

    const auto avi = testing_media::ReadAvi(dst);
    EXPECT_GT(avi.fileSize, 1u << 30);
    EXPECT_GE(avi.extendedRiffs, 1);
    EXPECT_EQ(testing_media::StrictReaderFaults(dst), "");
    std::printf("%.2f GB, %d RIFFs, %d frames\n", static_cast<double>(avi.fileSize) / 1e9, 1 + avi.extendedRiffs,
                avi.dmlhFrames);
    for (const auto& [reader, marks] : {std::pair{"libavformat", testing_media::MarksByLibav(dst)},
                                        std::pair{"GStreamer", testing_media::MarksByGStreamer(dst)}}) {
        SCOPED_TRACE(reader);
        ASSERT_TRUE(marks.ok) << marks.error;
        std::printf("%s: %zu flashes, %zu beeps, picture %.3f s, sound %.3f s, largest beep to flash %.1f ms\n", reader,
                    marks.flashes.size(), marks.beeps.size(), marks.videoEnd, marks.audioEnd,
                    testing_media::MaxOffset(marks) * 1000);
        EXPECT_EQ(marks.flashes.size(), 900u);
        EXPECT_EQ(marks.beeps.size(), 900u);
        EXPECT_LE(testing_media::MaxOffset(marks), 0.040);
        EXPECT_NEAR(marks.videoEnd, 1800.0, 0.1);
        EXPECT_NEAR(marks.audioEnd, marks.videoEnd, 0.1);
    }
}

} // namespace
