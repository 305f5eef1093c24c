// The subtitle overlay's wait for its subpicture stream, on made-up streams:
// a picture waits while a subpicture may still come, and never longer.
#include "platform/media/elements/subtitle_overlay.h"
#include "platform/media/gst/runtime.h"

#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;
constexpr GstClockTime kMs = GST_MSECOND;

class SubtitleOverlay : public ::testing::Test {
protected:
    void SetUp() override {
        media::EnsureGstInit();
        media::RegisterSubtitleOverlay();
        pictures = gst_harness_new_with_padnames(media::kSubtitleOverlayName, "sink", "src");
        ASSERT_NE(pictures, nullptr);
        gst_harness_set_src_caps_str(pictures, "video/x-raw,format=I420,width=16,height=16,framerate=25/1");
        subpictures = gst_harness_new_with_element(pictures->element, "subpicture", nullptr);
        gst_harness_set_src_caps_str(subpictures, "subpicture/x-dvd");
    }
    void TearDown() override {
        gst_harness_teardown(subpictures);
        gst_harness_teardown(pictures);
    }

    // Pushes a picture at ts on a thread of its own: the push returns once
    // the overlay has let it go.
    std::future<GstFlowReturn> Picture(GstClockTime ts) {
        GstBuffer* picture = gst_buffer_new_allocate(nullptr, 16 * 16 * 3 / 2, nullptr);
        GST_BUFFER_PTS(picture) = ts;
        GST_BUFFER_DURATION(picture) = 40 * kMs;
        return std::async(std::launch::async, [this, picture] { return gst_harness_push(pictures, picture); });
    }
    // The demultiplexer has read the subpicture stream up to ts.
    void Horizon(GstClockTime ts) {
        ASSERT_TRUE(gst_harness_push_event(subpictures, media::SubpictureHorizonEvent(ts)));
    }
    static bool Waiting(std::future<GstFlowReturn>& push) { return push.wait_for(300ms) == std::future_status::timeout; }

    GstHarness* pictures = nullptr;
    GstHarness* subpictures = nullptr;
};

TEST_F(SubtitleOverlay, APictureWaitsUntilTheSubpictureStreamHasReachedIt) {
    // Before the stream's position is known, nothing waits.
    auto first = Picture(0);
    EXPECT_EQ(first.get(), GST_FLOW_OK);
    Horizon(100 * kMs);
    auto second = Picture(500 * kMs);
    EXPECT_TRUE(Waiting(second)) << "the subpicture stream is behind the picture";
    Horizon(400 * kMs);
    EXPECT_TRUE(Waiting(second));
    Horizon(600 * kMs);
    EXPECT_EQ(second.get(), GST_FLOW_OK);
    // A stream that ends holds nothing up.
    ASSERT_TRUE(gst_harness_push_event(subpictures, gst_event_new_eos()));
    EXPECT_EQ(Picture(5000 * kMs).get(), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(pictures), 3u);
}

// A stream that stays behind holds a picture for two seconds, and then no
// picture until the stream has caught up with that one.
TEST_F(SubtitleOverlay, NoPictureWaitsLongerThanTwoSeconds) {
    Horizon(0);
    const auto started = std::chrono::steady_clock::now();
    auto held = Picture(1000 * kMs);
    EXPECT_EQ(held.get(), GST_FLOW_OK);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 4000ms);
    auto next = Picture(1040 * kMs);
    EXPECT_FALSE(Waiting(next)) << "the pictures go on unwaited";
    Horizon(1100 * kMs);
    auto later = Picture(1500 * kMs);
    EXPECT_TRUE(Waiting(later)) << "caught up: pictures wait again";
    Horizon(2000 * kMs);
    EXPECT_EQ(later.get(), GST_FLOW_OK);
}

// The queue that feeds the pictures is full: the demultiplexer waits for
// pictures to go and reads nothing more, so no picture waits for it.
TEST_F(SubtitleOverlay, APictureDoesNotWaitWhileItsFeederIsFull) {
    GstHarness* feeder = gst_harness_new("queue");
    g_object_set(feeder->element, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", 1000 * kMs, nullptr);
    gst_harness_set_src_caps_str(feeder, "video/mpeg");
    GstPad* out = gst_element_get_static_pad(feeder->element, "src");
    // What the queue hands on goes nowhere, so what follows stays in it.
    gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, [](GstPad*, GstPadProbeInfo*, gpointer) {
        return GST_PAD_PROBE_OK;
    }, nullptr, nullptr);
    g_object_set(pictures->element, "feeder", feeder->element, nullptr);
    Horizon(0);

    auto waiting = Picture(500 * kMs);
    EXPECT_TRUE(Waiting(waiting)) << "the feeder has room";
    for (const GstClockTime ts : {0 * kMs, 500 * kMs, 1000 * kMs}) {
        GstBuffer* coded = gst_buffer_new();
        GST_BUFFER_PTS(coded) = GST_BUFFER_DTS(coded) = ts;
        ASSERT_EQ(gst_harness_push(feeder, coded), GST_FLOW_OK);
    }
    EXPECT_EQ(waiting.wait_for(1000ms), std::future_status::ready) << "let go well before the longest wait";
    EXPECT_EQ(waiting.get(), GST_FLOW_OK);

    g_object_set(pictures->element, "feeder", nullptr, nullptr);
    gst_harness_push_event(feeder, gst_event_new_flush_start());
    gst_object_unref(out);
    gst_harness_teardown(feeder);
}

} // namespace
