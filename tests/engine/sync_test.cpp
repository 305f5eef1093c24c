// A/V sync, durations and header values of AVIs made from real DVD
// structures, judged by libavformat (through ffmpeg) as well as GStreamer.
#include "avi_reader.h"
#include "damaged_media.h"
#include "engine_fixture.h"
#include "sync_marks.h"
#include "temp_folder.h"

#include "platform/media/graph/filter.h"

#include <cmath>
#include <cstring>

namespace {

using testing_media::MarksByGStreamer;
using testing_media::MarksByLibav;
using testing_media::MaxOffset;
using testing_media::ReadAvi;
using testing_media::Scramble;
using testing_media::MediaPath;
using testing_media::WriteChanged;

constexpr double kMaxOffset = 0.040;

struct SyncCase {
    const char* name;
    const char* file;
    int fpsNum, fpsDen;
    double minSeconds, maxSeconds;  // the picture's length
    std::size_t flashes, beeps;
    std::uint32_t frameAspect = 0;  // 0: not checked
    int subtitles = -1;             // the subpicture stream chosen, -1 none
};

void PrintTo(const SyncCase& c, std::ostream* out) { *out << c.file; }


// 400 KB of sectors read back as zeros, in the middle of the file.
void ZeroMiddle(std::string& bytes) {
    const std::size_t at = bytes.size() / 2 / 2048 * 2048;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), 400 * 1024, '\0');
}


class SyncTest : public EngineTest, public ::testing::WithParamInterface<SyncCase> {
protected:
    std::string Source() {
        const SyncCase& c = GetParam();
        const std::string path = MediaPath(c.file);
        if (std::string(c.name) != "damaged") return path;
        WriteChanged(path, Out("damaged.vob"), ZeroMiddle);
        return Out("damaged.vob");
    }
};

TEST_P(SyncTest, EveryFlashPlaysWithItsBeepForEveryReader) {
    const SyncCase& c = GetParam();
    const std::string dst = Out(std::string(c.name) + ".avi");
    // Written over a longer file, of which nothing may be left behind.
    testing_support::WriteFile(dst, std::string(40 * 1024 * 1024, 'Z'));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(VobcastChooseSubtitles(c.subtitles, 0), 0);
    ASSERT_EQ(DoInit(0, Source().c_str(), dst.c_str(), 0), 0);
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += "Direct connect succeeded!!!\n";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), eight);
    StartComp();
    const std::vector<long> seen = RunToEnd(std::chrono::seconds(280));
    StopComp();
    DoUninit();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    // The percentage never goes back, and 100 comes once, at the end.
    ASSERT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100), 1);

    const double frame = static_cast<double>(c.fpsDen) / c.fpsNum;
    for (const auto& [reader, marks] : {std::pair{"libavformat", MarksByLibav(dst)},
                                        std::pair{"GStreamer", MarksByGStreamer(dst)}}) {
        SCOPED_TRACE(reader);
        ASSERT_TRUE(marks.ok) << marks.error;
        EXPECT_EQ(marks.flashes.size(), c.flashes);
        EXPECT_EQ(marks.beeps.size(), c.beeps);
        EXPECT_LE(MaxOffset(marks), kMaxOffset);
        EXPECT_GE(marks.videoEnd, c.minSeconds - frame);
        EXPECT_LE(marks.videoEnd, c.maxSeconds + frame);
        EXPECT_NEAR(marks.audioEnd, marks.videoEnd, 0.1) << "the sound lasts as long as the picture";
    }

    // The header values Windows players time the streams by.
    EXPECT_EQ(testing_media::StrictReaderFaults(dst), "");
    const auto avi = ReadAvi(dst);
    ASSERT_TRUE(avi.valid) << avi.error;
    ASSERT_EQ(avi.streams.size(), 2u);
    const auto& v = avi.streams[0];
    const auto& a = avi.streams[1];
    EXPECT_EQ(v.handler, "DX50");
    EXPECT_EQ(std::make_pair(v.width, v.height), std::make_pair(720, c.fpsNum == 25 ? 576 : 480));
    EXPECT_EQ(std::make_pair(v.rate, v.scale),
              std::make_pair(static_cast<std::uint32_t>(c.fpsNum), static_cast<std::uint32_t>(c.fpsDen)));
    EXPECT_EQ(a.formatTag, 0x161) << "Windows Media Audio V2";
    if (c.frameAspect) {
        EXPECT_EQ(v.frameAspect, c.frameAspect);
    }
    EXPECT_EQ(std::make_pair(a.scale, a.rate), std::make_pair(16u, 375u)) << "2048 samples a block at 48 kHz";
    EXPECT_EQ(a.sampleSize, static_cast<std::uint32_t>(a.blockAlign)) << "a chunk holds whole blocks";
    EXPECT_EQ(a.channels, 2);
}

const SyncCase kCases[] = {
    {"ntsc", "flash.vob", 30000, 1001, 20.02, 20.02, 10, 10, 0x00040003},
    {"pal_wide", "pal-wide.vob", 25, 1, 10.0, 10.0, 5, 5, 0x00100009},
    // The second title's clock starts again; the second follows the first without a pause.
    {"two_titles", "two-titles.vob", 30000, 1001, 18.018, 18.018, 9, 9},
    {"film", "film.vob", 24000, 1001, 8.008, 8.008, 4, 4},
    // The first beep falls before the sound starts.
    {"late_audio", "late-audio.vob", 30000, 1001, 12.012, 12.012, 6, 5},
    // The same with subtitles chosen: the file's streams are announced to the
    // demultiplexer ahead, and the sound's first gap comes before its first sound.
    {"late_audio_subtitles", "late-audio.vob", 30000, 1001, 12.012, 12.012, 6, 5, 0, 0},
    {"surround", "surround.vob", 30000, 1001, 8.008, 8.008, 4, 4},
    {"lpcm_ac3_subpicture", "lpcm-ac3-sub.vob", 30000, 1001, 8.008, 8.008, 4, 4},
    {"lpcm_ac3_subtitles", "lpcm-ac3-sub.vob", 30000, 1001, 8.008, 8.008, 4, 4, 0, 0},
    {"damaged", "flash.vob", 30000, 1001, 20.02, 20.02, 10, 10},
    {"ten_minutes", "ten-minutes.vob", 30000, 1001, 600.0, 600.0, 300, 300},
    // Interlaced video, film pulled down into fields throughout (restored to
    // its own frames), film then video (kept at the video's rate).
    {"interlaced", "interlaced.vob", 30000, 1001, 8.008, 8.008, 4, 4},
    {"telecine", "telecine.vob", 24000, 1001, 12.012, 12.012, 6, 6},
    {"film_then_video", "film-video.vob", 30000, 1001, 12.012, 12.012, 6, 6},
    // Interlaced video with scene cuts, every picture deinterlaced.
    {"interlaced_cuts", "interlaced-cuts.vob", 30000, 1001, 12.012, 12.012, 6, 6},
    // Sound that is not AC-3: MPEG-1 Layer II (PAL), LPCM; AC-3 taken before DTS.
    {"pal_mp2", "pal-mp2.vob", 25, 1, 10.0, 10.0, 5, 5},
    {"lpcm", "lpcm.vob", 30000, 1001, 8.008, 8.008, 4, 4},
    {"ac3_dts", "ac3-dts.vob", 30000, 1001, 8.008, 8.008, 4, 4},
    // Pictures held over their sound: one still for 30 s, stills 5 s apart
    // (the third white, with its beep).
    {"still", "still.vob", 30000, 1001, 29.98, 30.05, 0, 0},
    {"stills", "stills.vob", 30000, 1001, 29.95, 30.05, 1, 1},
};

INSTANTIATE_TEST_SUITE_P(Structures, SyncTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The centre channel carries the dialogue: it keeps the level ffmpeg gives it
// (-3 dB into each side); a mix of six loud channels never clips.
TEST_F(EngineTest, SurroundIsMixedToStereoAtTheStandardLevels) {
    const std::string ours = Out("surround.avi"), theirs = Out("surround-ffmpeg.avi");
    ASSERT_EQ(Convert(MediaPath("surround.vob"), ours), 0);
    int status = 0;
    testing_media::CommandOutput("ffmpeg -nostdin -v error -y -i '" + MediaPath("surround.vob") +
                                     "' -c:v mpeg4 -vtag DX50 -b:v 1800k -c:a wmav2 -ac 2 -b:a 128k '" + theirs + "'",
                                 &status);
    ASSERT_EQ(status, 0);
    const auto a = MarksByLibav(ours), b = MarksByLibav(theirs);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_NEAR(20 * std::log10(a.beepPeak / b.beepPeak), 0, 1.5);

    ASSERT_EQ(Convert(MediaPath("loud-surround.vob"), Out("loud.avi")), 0);
    const std::string samples = testing_media::CommandOutput(
        "ffmpeg -nostdin -v error -i '" + Out("loud.avi") + "' -map 0:a -f s16le -acodec pcm_s16le -");
    ASSERT_GT(samples.size(), 48000u * 4);
    std::size_t railed = 0;
    std::int16_t peak = 0;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        std::int16_t s = 0;
        std::memcpy(&s, samples.data() + i, 2);
        peak = std::max<std::int16_t>(peak, static_cast<std::int16_t>(std::abs(s)));
        railed += std::abs(s) >= 32767;
    }
    EXPECT_EQ(railed, 0u) << "samples at full scale";
    EXPECT_GT(peak, 16000) << "the mix is not quieter than it need be";
}

TEST_F(EngineTest, AnEncryptedSourceIsRefusedAtOnceInOneMessage) {
    const std::string source = Out("scrambled.vob"), dst = Out("scrambled.avi");
    WriteChanged(MediaPath("flash.vob"), source, Scramble);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(DoInit(0, source.c_str(), dst.c_str(), 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    DoUninit();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Error : \n", 0), 0u);
    EXPECT_NE(boxes[0].find('"' + source + '"'), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("encrypted (CSS)"), std::string::npos) << boxes[0];
    EXPECT_FALSE(std::filesystem::exists(dst));
}

// A graph that stops moving ends in an error that names the stream, and the
// caller can go on: here the audio compressor's output never arrives.
TEST_F(EngineTest, AStalledGraphEndsInAnErrorNamingTheStream) {
    auto& catalogue = media::Catalogue::Instance();
    const auto audio = catalogue.Entries(media::Category::AudioCompressor);
    ASSERT_FALSE(audio.empty());
    const auto make = audio.front().factory;
    catalogue.Hide(audio.front().friendlyName);
    catalogue.Add({media::Category::AudioCompressor, audio.front().friendlyName, [make](const std::u16string& n) {
                       auto filter = make(n);
                       auto* bin = dynamic_cast<media::Filter*>(filter.Get())->Bin();
                       media::GstPtr<GstPad> out(gst_element_get_static_pad(bin, "Output"));
                       gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER,
                                         [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; },
                                         nullptr, nullptr);
                       return filter;
                   }});
    ASSERT_EQ(DoInit(0, MediaPath("flash.vob").c_str(), Out("stalled.avi").c_str(), 0), 0);
    StartComp();
    const auto seen = RunToEnd(std::chrono::seconds(60));
    StopComp();
    DoUninit();
    EXPECT_EQ(seen.back(), 100);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("stalled: the audio stream has not moved for 15 seconds"), std::string::npos) << boxes[0];
}

} // namespace
