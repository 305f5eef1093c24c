// Pictures held through the demultiplexer's gaps, on made-up pictures through
// a real videorate: each frame shows the picture due at its time.
#include "platform/media/gst/runtime.h"
#include "platform/media/repair/timeline.h"

#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr GstClockTime kFrame = 40 * GST_MSECOND;

class HeldPictures : public ::testing::Test {
protected:
    void SetUp() override {
        media::EnsureGstInit();
        h = gst_harness_new("videorate");
        media::HoldPicturesThroughGaps(h->element);
        gst_harness_set_src_caps_str(h, "video/x-raw, format=GRAY8, width=4, height=4, framerate=25/1");
    }
    void TearDown() override { gst_harness_teardown(h); }

    // A picture whose every pixel is mark.
    void Picture(GstClockTime at, guint8 mark) {
        GstBuffer* b = gst_buffer_new_allocate(nullptr, 16, nullptr);
        gst_buffer_memset(b, 0, mark, 16);
        GST_BUFFER_PTS(b) = at;
        GST_BUFFER_DURATION(b) = kFrame;
        gst_harness_push(h, b);
    }
    void Gap(GstClockTime from, GstClockTime to) { gst_harness_push_event(h, gst_event_new_gap(from, to - from)); }

    // Each frame out: its time and its picture's mark.
    std::vector<std::pair<GstClockTime, guint8>> Frames() {
        gst_harness_push_event(h, gst_event_new_eos());
        std::vector<std::pair<GstClockTime, guint8>> out;
        while (GstBuffer* b = gst_harness_try_pull(h)) {
            guint8 mark = 0;
            gst_buffer_extract(b, 0, &mark, 1);
            out.emplace_back(GST_BUFFER_PTS(b), mark);
            gst_buffer_unref(b);
        }
        return out;
    }

    GstHarness* h = nullptr;
};

TEST_F(HeldPictures, APictureIsShownUntilAFrameBeforeTheNext) {
    Picture(0, 1);
    Picture(kFrame, 2);
    Gap(2 * kFrame, 25 * kFrame);  // one second without pictures
    Picture(50 * kFrame, 3);       // and the next a second later
    const auto frames = Frames();
    ASSERT_EQ(frames.size(), 51u) << "every frame from 0 to 2 s";
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].first, i * kFrame);
        EXPECT_EQ(frames[i].second, i == 0 ? 1 : i < 50 ? 2 : 3) << "frame " << i;
    }
}

TEST_F(HeldPictures, AStillIsHeldToTheEndOfItsGap) {
    Picture(0, 7);
    Gap(kFrame, 25 * kFrame);
    const auto frames = Frames();
    for (const auto& [at, mark] : frames) EXPECT_EQ(mark, 7) << at;
    // Through the whole second (videorate alone would end after one frame),
    // and no more than a frame or two past it.
    ASSERT_FALSE(frames.empty());
    EXPECT_GE(frames.back().first + kFrame, 25 * kFrame);
    EXPECT_LE(frames.back().first + kFrame, 27 * kFrame);
}

} // namespace
