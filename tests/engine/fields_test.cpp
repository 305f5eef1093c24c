// Pictures whose two fields come from different instants leave the engine
// progressive: interlaced video deinterlaced picture by picture, film pulled
// down into fields given its own frames back. Judged by ffmpeg's idet (the
// share of pictures that still show the comb) and, for film, against the
// film's own frames.
#include "avi_reader.h"
#include "engine_fixture.h"
#include "sync_marks.h"

#include <cstdio>
#include <regex>

namespace {

using testing_media::CommandOutput;
using testing_media::ReadAvi;

struct Combing {
    int combed = 0, pictures = 0;
    double Share() const { return pictures ? static_cast<double>(combed) / pictures : 1.0; }
};

// What idet's single-picture detection counts in the video of an AVI.
Combing CombingOf(const std::string& avi) {
    const std::string log = CommandOutput("ffmpeg -nostdin -i '" + avi + "' -an -vf idet -f null - 2>&1");
    std::smatch m;
    Combing c;
    if (std::regex_search(log, m, std::regex(R"(Single frame detection: TFF: *(\d+) BFF: *(\d+) Progressive: *(\d+) Undetermined: *(\d+))"))) {
        c.combed = std::stoi(m[1]) + std::stoi(m[2]);
        c.pictures = c.combed + std::stoi(m[3]) + std::stoi(m[4]);
    }
    return c;
}

// The film telecine.vob was pulled down from, frame for frame (as the media
// maker draws it); the least PSNR of any frame of avi against it, in dB.
double LeastPsnrAgainstTheFilm(const std::string& avi) {
    const std::string film =
        "testsrc2=s=360x240:r=24000/1001:d=12,scale=720:480,lutyuv=y=val*0.5[b];color=white:s=720x480:r=24000/1001:"
        "d=12[w];[b][w]overlay=enable='lt(mod(t-1.001+0.005\\,2.002)\\,0.035)'";
    const std::string log = CommandOutput("ffmpeg -nostdin -i '" + avi + "' -f lavfi -i \"" + film +
                                          "\" -lavfi '[0:v]setpts=N[a];[1:v]setpts=N[b];[a][b]psnr' -f null - 2>&1");
    std::smatch m;
    if (!std::regex_search(log, m, std::regex(R"(PSNR y:[0-9.inf]+ .* min:([0-9.]+|inf))"))) return 0;
    return m[1] == "inf" ? 100 : std::stod(m[1]);
}

struct FieldCase {
    const char* name;
    const char* file;
    std::uint32_t rate, scale;
    int frames;
    double sourceCombed;  // the least share idet finds in the source
};

void PrintTo(const FieldCase& c, std::ostream* out) { *out << c.file; }

class FieldsTest : public EngineTest, public ::testing::WithParamInterface<FieldCase> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // Enough bits that idet does not read the coder's noise as combing.
        answer.data_rate_kbps = 6000;
    }
};

TEST_P(FieldsTest, AtMostOnePictureInTwentyStillShowsTheComb) {
    const FieldCase& c = GetParam();
    const std::string source = Media(c.file), out = Out(std::string(c.name) + ".avi");
    ASSERT_GE(CombingOf(source).Share(), c.sourceCombed) << "the source shows the comb";
    ASSERT_EQ(Convert(source, out), 0);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_EQ(testing_media::StrictReaderFaults(out), "");
    const auto avi = ReadAvi(out);
    ASSERT_TRUE(avi.valid) << avi.error;
    EXPECT_EQ(std::make_pair(avi.streams[0].rate, avi.streams[0].scale), std::make_pair(c.rate, c.scale));
    EXPECT_EQ(avi.streams[0].chunks, c.frames);
    const Combing left = CombingOf(out);
    EXPECT_EQ(left.pictures, c.frames);
    EXPECT_LE(left.Share(), 0.05) << left.combed << " of " << left.pictures << " pictures combed";
}

const FieldCase kFieldCases[] = {
    {"interlaced", "interlaced.vob", 30000, 1001, 240, 0.9},
    // 288 film frames out of 360 pictures, none repeated (see below).
    {"telecine", "telecine.vob", 24000, 1001, 288, 0.7},
    {"film_then_video", "film-video.vob", 30000, 1001, 360, 0.8},
};

INSTANTIATE_TEST_SUITE_P(Sources, FieldsTest, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each of the 288 frames is the film's own, none a blend of two or a repeat.
TEST_F(EngineTest, FilmPulledDownIntoFieldsGetsItsOwnFramesBack) {
    answer.data_rate_kbps = 6000;
    const std::string out = Out("film.avi");
    ASSERT_EQ(Convert(Media("telecine.vob"), out), 0);
    EXPECT_GE(LeastPsnrAgainstTheFilm(out), 40.0);
}

// What the user asks for: no deinterlacing, deinterlacing always, film left
// pulled down. Progressive pictures are never touched unless asked.
TEST_F(EngineTest, TheFieldChoiceIsTheUsers) {
    ASSERT_EQ(VobcastChoosePictures(3, 0), static_cast<std::int32_t>(0x80070057u));
    ASSERT_EQ(VobcastChoosePictures(0, 2), static_cast<std::int32_t>(0x80070057u));

    ASSERT_EQ(VobcastChoosePictures(2, 0), 0);
    ASSERT_EQ(Convert(Media("interlaced.vob"), Out("never.avi")), 0);
    EXPECT_GT(CombingOf(Out("never.avi")).Share(), 0.5);

    ASSERT_EQ(VobcastChoosePictures(0, 1), 0);
    ASSERT_EQ(Convert(Media("telecine.vob"), Out("no-detelecine.avi")), 0);
    auto avi = ReadAvi(Out("no-detelecine.avi"));
    EXPECT_EQ(std::make_pair(avi.streams[0].rate, avi.streams[0].chunks), std::make_pair(30000u, 360));

    // The choice lasts one conversion: the next is judged by its pictures again.
    ASSERT_EQ(Convert(Media("telecine.vob"), Out("again.avi")), 0);
    avi = ReadAvi(Out("again.avi"));
    EXPECT_EQ(std::make_pair(avi.streams[0].rate, avi.streams[0].chunks), std::make_pair(24000u, 288));

    // Deinterlacing every picture of a progressive source, asked for, changes its pictures.
    ASSERT_EQ(VobcastChoosePictures(1, 0), 0);
    ASSERT_EQ(Convert(Media("flash.vob"), Out("always.avi")), 0);
    ASSERT_EQ(Convert(Media("flash.vob"), Out("auto.avi")), 0);
    const std::string psnr = CommandOutput("ffmpeg -nostdin -i '" + Out("always.avi") + "' -i '" + Out("auto.avi") +
                                           "' -lavfi psnr -f null - 2>&1");
    EXPECT_EQ(psnr.find("average:inf"), std::string::npos) << "the pictures were deinterlaced";
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

} // namespace
