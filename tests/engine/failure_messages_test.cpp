// The boxes a failing DoInit shows, innermost first, byte for byte.
#include "engine_fixture.h"

#include <cstring>
#include <fstream>

namespace {

const std::string kGetFilter = "Error : \nFailed to get one of the filters.\n";
const std::string kAddFilters = "Error : \nFailed to add filters.\n";
const std::string kNotFound = "Error : \nSpecified filter is not fould.";
const std::string kPinNotFound = "Error : \nSpecified pin was not found.\n";
const std::string kConnectPins = "Error : \nFailed to Connect some pins of the filters!";
const std::string kConnectFilters = "Error : \nFailed to Connect filters\n";
const std::string kDirectConnect = "Error : \nDirect connect failed!\n";

constexpr std::int32_t kE_FAIL = static_cast<std::int32_t>(0x80004005u);

// A DoInit that fails: what is changed first, what it is asked, what it
// answers and the boxes it shows. Every reference it took is released by its
// DoUninit.
struct FailureCase {
    const char* name;
    void (*prepare)(EngineTest&);
    const char* source;  // a test clip, or a file made in the test's folder
    std::int32_t flag, status;
    std::vector<std::string> boxes;
    const char* trace = "";  // what it prints of the connections made
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

void Nothing(EngineTest&) {}
template <const char* kName>
void Hide(EngineTest&) {
    std::u16string name;
    for (const char* c = kName; *c; ++c) name.push_back(static_cast<char16_t>(*c));
    media::Catalogue::Instance().Hide(name);
}
constexpr char kSource[] = "File Source (Async.)", kSplitter[] = "MPEG-2 Splitter",
               kVideoDecoder[] = "Elecard MPEG2 Video Decoder", kAudioDecoder[] = "Moonlight Odio Dekoda",
               kMux[] = "AVI Mux", kWriter[] = "File writer", kWma[] = "Windows Media Audio V2";

class Failure : public EngineTest, public ::testing::WithParamInterface<FailureCase> {
protected:
    std::string saved_name = vobcast::State().compressorName;
    void TearDown() override {
        std::strncpy(vobcast::State().compressorName, saved_name.c_str(), sizeof vobcast::State().compressorName - 1);
        EngineTest::TearDown();
    }
};

TEST_P(Failure, ShowsItsBoxesInnermostFirstAndHoldsNothing) {
    const FailureCase& c = GetParam();
    std::string source = c.source;
    if (source.ends_with(".vob")) source = Media(source);
    if (source == "empty") std::ofstream(Out(source), std::ios::binary);
    if (source == "garbage") {
        std::ofstream g(Out(source), std::ios::binary);
        for (int i = 0; i < 200000; ++i) g.put(static_cast<char>((i * 7919) & 0xff));
    }
    if (!source.ends_with(".vob")) source = Out(source);
    c.prepare(*this);
    const auto live = com::LiveObjects();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(DoInit(0, source.c_str(), Out("out.avi").c_str(), c.flag), c.status);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.trace);
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(DoUninit(), 0);
    EXPECT_EQ(com::LiveObjects(), live) << "every reference is released by DoUninit";
}

const std::vector<std::string> kLookup = {kNotFound, kGetFilter, kAddFilters};
const std::vector<std::string> kNoPin = {kPinNotFound, kConnectPins, kConnectFilters};
const FailureCase kFailures[] = {
    {"source_filter", Hide<kSource>, "ntsc.vob", 0, kE_FAIL, kLookup},
    {"splitter", Hide<kSplitter>, "ntsc.vob", 0, kE_FAIL, kLookup},
    {"video_decoder", Hide<kVideoDecoder>, "ntsc.vob", 0, kE_FAIL, kLookup},
    {"audio_decoder", Hide<kAudioDecoder>, "ntsc.vob", 0, kE_FAIL, kLookup},
    {"mux", Hide<kMux>, "ntsc.vob", 0, kE_FAIL, kLookup},
    {"writer", Hide<kWriter>, "ntsc.vob", 0, kE_FAIL, kLookup},
    // The only audio compressor gone leaves its category empty.
    {"audio_compressor", Hide<kWma>, "ntsc.vob", 0, kE_FAIL, {"Error : \nNO Devices\n", kGetFilter, kAddFilters}},
    {"enumeration",
     [](EngineTest&) { media::Catalogue::Instance().FailEnumeration(media::Category::AudioCompressor, true); },
     "ntsc.vob", 0, kE_FAIL, {"Error : \nCould Create enumerator!\n", kGetFilter, kAddFilters}},
    // Flag 1 without a compressor chosen before: the empty name is looked up.
    {"flag_one_unnamed", [](EngineTest&) { vobcast::State().compressorName[0] = '\0'; }, "ntsc.vob", 1, kE_FAIL,
     kLookup},
    {"flag_two", Nothing, "ntsc.vob", 2, kE_FAIL, {"Error : \nThe flag must be either 1 or 0.\n", kAddFilters}},
    {"no_sound", Nothing, "no-audio.vob", 0, kE_FAIL, kNoPin,
     "Direct connect succeeded!!!\nDirect connect succeeded!!!\n"},
    // A file that cannot be opened gives the source no output pin; the
    // splitter refuses what it cannot read.
    {"missing_source", Nothing, "missing", 0, kE_FAIL, kNoPin},
    {"empty_source", Nothing, "empty", 0, kE_FAIL, {kDirectConnect, kConnectPins, kConnectFilters}},
    {"garbage_source", Nothing, "garbage", 0, kE_FAIL, {kDirectConnect, kConnectPins, kConnectFilters}},
    {"chooser_cancelled", [](EngineTest& t) { t.accept = false; }, "ntsc.vob", 0, VOBCAST_E_NO_COMPRESSOR, {}},
    // Uncompressed frames are no compressor.
    {"uncompressed", [](EngineTest& t) { t.answer.compressor = -1; }, "ntsc.vob", 0, VOBCAST_E_NO_COMPRESSOR,
     {"Warning : \nAn valid compressor must be chosen ,or the compress process may go wrong. Please check whether "
      "you have chosen a correct compressor,(for instance , DivX 5.0.5.)"}},
};

INSTANTIATE_TEST_SUITE_P(EachCause, Failure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, FriendlyNamesAreComparedExactlyAndTheFirstMatchWins) {
    auto& catalogue = media::Catalogue::Instance();
    auto entries = catalogue.Entries(media::Category::LegacyAmFilter);
    auto mux = std::find_if(entries.begin(), entries.end(), [](auto& e) { return e.friendlyName == u"AVI Mux"; });
    ASSERT_NE(mux, entries.end());
    int secondUsed = 0;
    catalogue.Hide(u"AVI Mux");
    catalogue.Add({media::Category::LegacyAmFilter, u"avi mux", mux->factory});
    EXPECT_NE(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 0), 0) << "letter case matters";
    EXPECT_EQ(boxes, (std::vector<std::string>{kNotFound, kGetFilter, kAddFilters}));
    DoUninit();

    catalogue.Add({media::Category::LegacyAmFilter, u"AVI Mux", mux->factory});
    catalogue.Add({media::Category::LegacyAmFilter, u"AVI Mux", [&](const std::u16string& n) {
                       ++secondUsed;
                       return mux->factory(n);
                   }});
    boxes.clear();
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("b.avi").c_str(), 0), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(secondUsed, 0) << "the first of two equal names is used";
    DoUninit();
}

TEST_F(EngineTest, CompressorNamesOf127AndOf128Characters) {
    auto& catalogue = media::Catalogue::Instance();
    const auto video = catalogue.Entries(media::Category::VideoCompressor);
    ASSERT_FALSE(video.empty());
    const std::u16string name127(127, u'x'), name128(128, u'y');
    catalogue.Hide(video.front().friendlyName);
    catalogue.Add({media::Category::VideoCompressor, name127, video.front().factory, video.front().encoder});
    catalogue.Add({media::Category::VideoCompressor, name128, video.front().factory, video.front().encoder});
    const auto listed = vfw::InstalledCompressors();
    const auto index = [&](char c) {
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (listed[i].description[0] == c) return static_cast<int>(i);
        return -1;
    };

    answer.compressor = index('x');
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 0), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(std::string(vobcast::State().compressorName), std::string(127, 'x'));
    DoUninit();

    answer.compressor = index('y');
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("b.avi").c_str(), 0), VOBCAST_E_NO_COMPRESSOR);
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error : The compressor's name is too much long. \n"}));
    EXPECT_EQ(std::string(vobcast::State().compressorName), std::string(127, 'x')) << "a refused choice keeps the name";
    DoUninit();
}

} // namespace
