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
const std::string kE_FAIL = "80004005";

struct MissingFilterCase {
    const char* hidden;
    std::vector<std::string> boxes;
};

class MissingFilter : public EngineTest, public ::testing::WithParamInterface<MissingFilterCase> {};

TEST_P(MissingFilter, ShowsTheLookupMessagesAndFails) {
    const std::u16string name = [] {
        std::u16string n;
        for (const char* c = GetParam().hidden; *c; ++c) n.push_back(static_cast<char16_t>(*c));
        return n;
    }();
    media::Catalogue::Instance().Hide(name);
    const auto live = com::LiveObjects();
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("out.avi").c_str(), 0), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(boxes, GetParam().boxes);
    EXPECT_EQ(DoUninit(), 0);
    EXPECT_EQ(com::LiveObjects(), live) << "every reference is released by DoUninit";
}

INSTANTIATE_TEST_SUITE_P(
    EachRole, MissingFilter,
    ::testing::Values(MissingFilterCase{"File Source (Async.)", {kNotFound, kGetFilter, kAddFilters}},
                      MissingFilterCase{"MPEG-2 Splitter", {kNotFound, kGetFilter, kAddFilters}},
                      MissingFilterCase{"Elecard MPEG2 Video Decoder", {kNotFound, kGetFilter, kAddFilters}},
                      MissingFilterCase{"Moonlight Odio Dekoda", {kNotFound, kGetFilter, kAddFilters}},
                      MissingFilterCase{"AVI Mux", {kNotFound, kGetFilter, kAddFilters}},
                      MissingFilterCase{"File writer", {kNotFound, kGetFilter, kAddFilters}},
                      // The only audio compressor gone leaves its category empty.
                      MissingFilterCase{"Windows Media Audio V2",
                                        {"Error : \nNO Devices\n", kGetFilter, kAddFilters}}));

TEST_F(EngineTest, EnumerationFailureOfACategory) {
    media::Catalogue::Instance().FailEnumeration(media::Category::AudioCompressor, true);
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("out.avi").c_str(), 0), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error : \nCould Create enumerator!\n", kGetFilter, kAddFilters}));
    DoUninit();
}

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

TEST_F(EngineTest, ASourceWithoutSoundFailsAtTheThirdConnection) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(DoInit(0, Media("no-audio.vob").c_str(), Out("out.avi").c_str(), 0),
              static_cast<int32_t>(0x80004005u));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Direct connect succeeded!!!\nDirect connect succeeded!!!\n");
    EXPECT_EQ(boxes, (std::vector<std::string>{kPinNotFound, kConnectPins, kConnectFilters}));
    DoUninit();
}

TEST_F(EngineTest, SourcesThatAreNoProgramStream) {
    const std::string empty = Out("empty.vob"), garbage = Out("garbage.vob"), missing = Out("missing.vob");
    { std::ofstream(empty, std::ios::binary); }
    {
        std::ofstream g(garbage, std::ios::binary);
        for (int i = 0; i < 200000; ++i) g.put(static_cast<char>((i * 7919) & 0xff));
    }
    // A file that cannot be opened gives the source no output pin.
    EXPECT_NE(DoInit(0, missing.c_str(), Out("1.avi").c_str(), 0), 0);
    EXPECT_EQ(boxes, (std::vector<std::string>{kPinNotFound, kConnectPins, kConnectFilters}));
    DoUninit();
    // The splitter refuses what it cannot read.
    for (const std::string& source : {empty, garbage}) {
        boxes.clear();
        EXPECT_NE(DoInit(0, source.c_str(), Out("2.avi").c_str(), 1), 0) << source;
        EXPECT_EQ(boxes, (std::vector<std::string>{kDirectConnect, kConnectPins, kConnectFilters})) << source;
        DoUninit();
    }
}

TEST_F(EngineTest, CompressorChoiceFailures) {
    const std::string src = Media("ntsc.vob"), dst = Out("out.avi");
    // Cancelled: no box, no filter held.
    const auto live = com::LiveObjects();
    accept = false;
    EXPECT_EQ(DoInit(0, src.c_str(), dst.c_str(), 0), VOBCAST_E_NO_COMPRESSOR);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(com::LiveObjects(), live);
    DoUninit();

    // Uncompressed frames are no compressor.
    accept = true;
    answer.compressor = -1;
    EXPECT_EQ(DoInit(0, src.c_str(), dst.c_str(), 0), VOBCAST_E_NO_COMPRESSOR);
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "Warning : \nAn valid compressor must be chosen ,or the compress process may go wrong. "
                         "Please check whether you have chosen a correct compressor,(for instance , DivX 5.0.5.)"}));
    DoUninit();

    boxes.clear();
    EXPECT_EQ(DoInit(0, src.c_str(), dst.c_str(), 2), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(boxes, (std::vector<std::string>{"Error : \nThe flag must be either 1 or 0.\n", kAddFilters}));
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

TEST_F(EngineTest, FlagOneWithNoRememberedName) {
    char saved[sizeof vobcast::State().compressorName];
    std::memcpy(saved, vobcast::State().compressorName, sizeof saved);
    std::memset(vobcast::State().compressorName, 0, sizeof saved);
    EXPECT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 1), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(boxes, (std::vector<std::string>{kNotFound, kGetFilter, kAddFilters}));
    EXPECT_EQ(dialogs, 0);
    DoUninit();
    std::memcpy(vobcast::State().compressorName, saved, sizeof saved);
}

} // namespace
