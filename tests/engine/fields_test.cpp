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
#include <vector>

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

// idet's verdict on each picture of an AVI alone, in order: true where it
// shows the comb.
std::vector<bool> CombedPictures(const std::string& avi) {
    const std::string log = CommandOutput("ffmpeg -nostdin -v error -i '" + avi +
                                          "' -an -vf 'idet,metadata=mode=print:key=lavfi.idet.single.current_frame:file=-' "
                                          "-f null - 2>/dev/null");
    static const std::regex verdict(R"(single\.current_frame=(\w+))");
    std::vector<bool> combed;
    for (std::sregex_iterator it(log.begin(), log.end(), verdict), end; it != end; ++it)
        combed.push_back((*it)[1] == "tff" || (*it)[1] == "bff");
    return combed;
}

// The films the media maker pulls down into fields, frame for frame.
constexpr const char* kTelecineFilm =
    "testsrc2=s=360x240:r=24000/1001:d=12,scale=720:480,lutyuv=y=val*0.5[b];color=white:s=720x480:r=24000/1001:"
    "d=12[w];[b][w]overlay=enable='lt(mod(t-1.001+0.005\\,2.002)\\,0.035)'";
constexpr const char* kScenesFilm =
    "testsrc2=s=360x240:r=24000/1001:d=12,scale=720:480[p];testsrc=s=360x240:r=24000/1001:d=12,hflip,scale=720:480[q];"
    "[p][q]overlay=enable='gte(mod(t\\,3.003)\\,1.5015)'[c];color=white:s=720x480:r=24000/1001:d=12[w];"
    "[c][w]overlay=enable='lt(mod(t-1.001\\,2.002)\\,0.1)*gte(t\\,1)'";

// The least PSNR of any frame of avi against the film, in dB, frame by frame in order.
double LeastPsnrAgainstTheFilm(const std::string& avi, const std::string& film = kTelecineFilm) {
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
    {"interlaced_cuts", "interlaced-cuts.vob", 30000, 1001, 360, 0.8},
};

INSTANTIATE_TEST_SUITE_P(Sources, FieldsTest, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each of the 288 frames is the film's own, none a blend of two or a repeat,
// also across scene cuts and white cards.
TEST_F(EngineTest, FilmPulledDownIntoFieldsGetsItsOwnFramesBack) {
    answer.data_rate_kbps = 6000;
    ASSERT_EQ(Convert(Media("telecine.vob"), Out("film.avi")), 0);
    EXPECT_GE(LeastPsnrAgainstTheFilm(Out("film.avi")), 40.0);
    ASSERT_EQ(Convert(Media("film-cuts.vob"), Out("film-cuts.avi")), 0);
    EXPECT_EQ(ReadAvi(Out("film-cuts.avi")).streams[0].chunks, 288);
    EXPECT_GE(LeastPsnrAgainstTheFilm(Out("film-cuts.avi"), kScenesFilm), 40.0);
}

// A white card for 0.1 s every 2 s from 1 s cuts into interlaced video: the
// pictures after it are deinterlaced at once, as those before were. The
// woven pictures that hold the cut itself (a field of each side) may keep
// some comb; the four after them may not. In progressive-cuts.vob the cards
// come in its second, interlaced half, and its first half, progressive,
// leaves the engine exactly as it does with deinterlacing off.
TEST_F(EngineTest, ThePicturesAfterACutAreDeinterlacedAtOnce) {
    answer.data_rate_kbps = 6000;
    answer.key_frames = 30;
    const struct {
        const char* file;
        int firstCard;  // the picture the first card starts in
        int cards;
    } cases[] = {{"interlaced-cuts.vob", 30, 6}, {"progressive-cuts.vob", 210, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = Out(std::string("cuts-") + c.file + ".avi");
        ASSERT_EQ(Convert(Media(c.file), out), 0);
        const std::vector<bool> combed = CombedPictures(out);
        ASSERT_EQ(combed.size(), 360u);
        for (int k = 0; k < c.cards; ++k) {
            const int start = c.firstCard + 60 * k, end = start + 3;  // 0.1 s: three pictures and a field
            int around = 0;
            for (int i = start - 3; i <= end + 5; ++i) {
                around += combed[static_cast<std::size_t>(i)] ? 1 : 0;
                if (i >= end + 2) {
                    EXPECT_FALSE(combed[static_cast<std::size_t>(i)]) << "picture " << i << " after a card";
                }
            }
            EXPECT_LE(around, 2) << "the card at picture " << start;
        }
    }
    ASSERT_EQ(VobcastChoosePictures(2, 0), 0);
    ASSERT_EQ(Convert(Media("progressive-cuts.vob"), Out("never.avi")), 0);
    const std::string psnr = CommandOutput("ffmpeg -nostdin -i '" + Out("cuts-progressive-cuts.vob.avi") + "' -i '" +
                                           Out("never.avi") +
                                           "' -lavfi '[0:v]trim=end_frame=175,setpts=N[a];[1:v]trim=end_frame=175,"
                                           "setpts=N[b];[a][b]psnr' -f null - 2>&1");
    EXPECT_NE(psnr.find("average:inf"), std::string::npos) << psnr;
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
