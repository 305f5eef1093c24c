// Real conversions of generated DVD-style clips, read back as a player would.
#include "avi_reader.h"
#include "engine_fixture.h"
#include "sync_marks.h"
#include "temp_folder.h"

#include <algorithm>
#include <fstream>

namespace {

using testing_media::MarksByGStreamer;
using testing_media::ReadAvi;
using testing_media::StrictReaderFaults;

TEST_F(EngineTest, StopMidRunLeavesAPlayablePartialFile) {
    const std::string dst = Out("stopped.avi");
    ASSERT_EQ(DoInit(0, Media("long.vob").c_str(), dst.c_str(), 0), 0);
    StartComp();
    long p = 0;
    for (int i = 0; i < 400 && (p = static_cast<long>(GetCurrentPos())) < 15; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_LT(p, 100) << "the clip converted before it could be stopped";
    EXPECT_EQ(StopComp(), 0);
    DoUninit();
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec), dst) << "the stopped file is left open";
    EXPECT_EQ(StrictReaderFaults(dst), "") << "the multiplexer finished the file";
    const auto played = MarksByGStreamer(dst);
    ASSERT_TRUE(played.ok) << played.error;
    EXPECT_GT(played.videoFrames, 0);
    EXPECT_LT(played.videoFrames, 600);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EngineTest, TheChoosersKeyFrameIntervalIsHonouredAndRemembered) {
    answer.key_frames = 10;
    ASSERT_EQ(Convert(Media("ntsc.vob"), Out("short-gop.avi")), 0);
    // Flag 1 uses the same settings without asking.
    ASSERT_EQ(Convert(Media("ntsc.vob"), Out("short-gop2.avi"), 1), 0);
    answer.key_frames = 250;
    ASSERT_EQ(Convert(Media("ntsc.vob"), Out("long-gop.avi")), 0);
    EXPECT_EQ(dialogs, 2);
    const auto a = ReadAvi(Out("short-gop.avi")), b = ReadAvi(Out("short-gop2.avi")), c = ReadAvi(Out("long-gop.avi"));
    ASSERT_TRUE(a.valid && b.valid && c.valid);
    EXPECT_GE(a.streams[0].keyFrames, 12) << "a key frame every 10 of 120 frames";
    EXPECT_EQ(b.streams[0].keyFrames, a.streams[0].keyFrames);
    EXPECT_LE(c.streams[0].keyFrames, 2);
}

TEST_F(EngineTest, TheChoosersDataRateReachesTheEncoder) {
    // The zone plate is hard to code: the MPEG-4 compressors need several Mbit/s for
    // it even at its coarsest quantiser, so its rates are set higher.
    struct Rates {
        std::string fourcc;
        long low;
        long high;
    };
    const auto listed = vfw::InstalledCompressors();
    int checked = 0;
    for (const Rates& rates : {Rates{"DX50", 6000, 24000}, Rates{"MP43", 6000, 24000}, Rates{"H264", 300, 3000}}) {
        const auto it = std::find_if(listed.begin(), listed.end(), [&](auto& c) { return c.fourcc == rates.fourcc; });
        if (it == listed.end()) continue;  // x264enc may be missing
        ++checked;
        answer.compressor = static_cast<int>(it - listed.begin());
        answer.data_rate_kbps = static_cast<int32_t>(rates.low);
        ASSERT_EQ(Convert(Media("detail.vob"), Out(rates.fourcc + "-low.avi")), 0);
        answer.data_rate_kbps = static_cast<int32_t>(rates.high);
        ASSERT_EQ(Convert(Media("detail.vob"), Out(rates.fourcc + "-high.avi")), 0);
        const auto low = ReadAvi(Out(rates.fourcc + "-low.avi")), high = ReadAvi(Out(rates.fourcc + "-high.avi"));
        ASSERT_TRUE(low.valid && high.valid);
        EXPECT_EQ(low.streams[0].handler, rates.fourcc);
        EXPECT_EQ(StrictReaderFaults(Out(rates.fourcc + "-high.avi")), "") << rates.fourcc;
        EXPECT_LT(low.fileSize * 5 / 2, high.fileSize) << rates.fourcc << ": the rate decides the size";
        // The clip lasts 2 seconds: the high rate's video is about rate / 4 bytes.
        EXPECT_GT(high.fileSize, rates.high * 1000 / 8) << rates.fourcc << " " << high.fileSize;
        EXPECT_LT(high.fileSize, rates.high * 1000 / 2) << rates.fourcc << " " << high.fileSize;
    }
    EXPECT_GE(checked, 2) << "the two MPEG-4 compressors come with libavcodec";
}

// Motion JPEG leaves its compressor as image/jpeg; the multiplexer takes it
// as the video stream it is.
TEST_F(EngineTest, MotionJpegIsAVideoStreamToo) {
    const auto listed = vfw::InstalledCompressors();
    const auto it = std::find_if(listed.begin(), listed.end(), [](auto& c) { return c.fourcc == "MJPG"; });
    ASSERT_NE(it, listed.end()) << "jpegenc is in gstreamer1.0-plugins-good";
    answer.compressor = static_cast<int>(it - listed.begin());
    ASSERT_EQ(Convert(Media("ntsc.vob"), Out("mjpeg.avi")), 0);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_EQ(StrictReaderFaults(Out("mjpeg.avi")), "");
    EXPECT_EQ(ReadAvi(Out("mjpeg.avi")).streams[0].handler, "MJPG");
    EXPECT_NEAR(MarksByGStreamer(Out("mjpeg.avi")).videoFrames, 120, 1);
}

TEST_F(EngineTest, ATruncatedSourceConvertsWhatIsThere) {
    const std::string cut = Out("cut.vob");
    {
        std::ifstream in(Media("ntsc.vob"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2 + 777);
    }
    ASSERT_EQ(Convert(cut, Out("out.avi")), 0);
    const auto played = MarksByGStreamer(Out("out.avi"));
    ASSERT_TRUE(played.ok) << played.error;
    EXPECT_GT(played.videoFrames, 30);
    EXPECT_LT(played.videoFrames, 120);
}

} // namespace
