// Calls out of order, nested calls during a box, the sticky completion and
// reference counts across conversions.
#include "engine_fixture.h"

#include "platform/com/apartment.h"

namespace {

TEST_F(EngineTest, CallsWithoutAConversionDoNothingHarmful) {
    const int inits = com::InitCount();
    EXPECT_EQ(StartComp(), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(StopComp(), static_cast<int32_t>(0x80004005u));
    EXPECT_EQ(GetCurrentPos(), -1);
    EXPECT_EQ(DoUninit(), 0);
    EXPECT_EQ(DoUninit(), 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(com::InitCount(), std::max(0, inits - 2));
}

TEST_F(EngineTest, EveryDoInitIsBalancedByItsDoUninit) {
    const int inits = com::InitCount();
    const auto live = com::LiveObjects();
    ASSERT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 0), 0);
    EXPECT_EQ(com::InitCount(), inits + 1);
    EXPECT_GT(com::LiveObjects(), live);
    // A second DoInit over the held conversion releases it first.
    ASSERT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("b.avi").c_str(), 1), 0);
    DoUninit();
    DoUninit();
    EXPECT_EQ(com::InitCount(), inits);
    EXPECT_EQ(com::LiveObjects(), live);
}

TEST_F(EngineTest, CompletionStaysUntilTheNextStart) {
    ASSERT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 0), 0);
    EXPECT_EQ(GetCurrentPos(), 0) << "a built graph that has not run is at 0";
    StartComp();
    const auto seen = RunToEnd();
    ASSERT_EQ(seen.back(), 100);
    StopComp();
    EXPECT_EQ(GetCurrentPos(), 100);
    DoUninit();
    EXPECT_EQ(GetCurrentPos(), 100);
    ASSERT_EQ(DoInit(0, Media("ntsc.vob").c_str(), Out("b.avi").c_str(), 1), 0);
    EXPECT_EQ(dialogs, 1) << "flag 1 reuses the remembered compressor";
    EXPECT_EQ(GetCurrentPos(), 100);
    StartComp();
    EXPECT_LT(GetCurrentPos(), 100);
    RunToEnd();
    StopComp();
    DoUninit();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EngineTest, NestedCallsDuringABoxDoNotCrash) {
    // The stop button pressed while a failed DoInit shows its last box.
    onBox = [] {
        StopComp();
        GetCurrentPos();
        DoUninit();
    };
    media::Catalogue::Instance().Hide(u"File writer");
    EXPECT_NE(DoInit(0, Media("ntsc.vob").c_str(), Out("a.avi").c_str(), 0), 0);
    EXPECT_EQ(boxes.size(), 3u);
    DoUninit();

    // A graph that ends in an error (no folder to write in) counts as done and
    // shows it once, naming the cause; a timer tick polling again while the
    // poll's own error box is open does not stack the box a second time.
    boxes.clear();
    media::Catalogue::Instance().Reset();
    const std::string dst = (dir / "no-such-folder" / "a.avi").string();
    ASSERT_EQ(DoInit(0, Media("ntsc.vob").c_str(), dst.c_str(), 1), 0);
    onBox = nullptr;
    EXPECT_LT(StartComp(), 0);
    int nested = 0;
    onBox = [&] { nested += GetCurrentPos() == 100; };
    EXPECT_EQ(GetCurrentPos(), 100);
    EXPECT_EQ(nested, 1);
    onBox = nullptr;
    EXPECT_EQ(GetCurrentPos(), 100);
    StopComp();
    DoUninit();
    ASSERT_EQ(boxes.size(), 2u) << "one box for the failed start, one naming the cause";
    EXPECT_EQ(boxes[0], "Error : \nAn error occured when running the media\n");
    EXPECT_EQ(boxes[1].rfind("Error : \nThe conversion of \"" + Media("ntsc.vob") + "\" into \"" + dst + "\" failed:\n", 0), 0u)
        << boxes[1];
    EXPECT_NE(boxes[1].find("No such file or directory"), std::string::npos) << boxes[1];
}

} // namespace
