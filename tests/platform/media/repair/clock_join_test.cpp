// The clock join on made-up streams: what leaves a demuxer's pads, retimed.
#include "platform/media/gst/runtime.h"
#include "platform/media/repair/clock_join.h"

#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr GstClockTime kMs = GST_MSECOND;

// A pad of the demuxer: an identity whose output the join watches.
struct Pad {
    GstHarness* h;
    Pad(media::ClockJoin& join, bool video) {
        media::EnsureGstInit();
        h = gst_harness_new("identity");
        GstPad* src = gst_element_get_static_pad(h->element, "src");
        join.Watch(src, video);
        gst_object_unref(src);
        gst_harness_set_src_caps_str(h, video ? "video/mpeg" : "audio/x-ac3");
    }
    ~Pad() { gst_harness_teardown(h); }

    // Pushes a buffer stamped at ts and returns where it came out.
    GstClockTime Through(GstClockTime ts) {
        GstBuffer* in = gst_buffer_new();
        GST_BUFFER_PTS(in) = ts;
        gst_harness_push(h, in);
        GstBuffer* out = gst_harness_pull(h);
        const GstClockTime at = GST_BUFFER_PTS(out);
        gst_buffer_unref(out);
        return at;
    }

    // Pushes frames from first, step apart, up to (not including) end.
    std::vector<GstClockTime> Run(GstClockTime first, GstClockTime step, GstClockTime end) {
        std::vector<GstClockTime> out;
        for (GstClockTime ts = first; ts < end; ts += step) out.push_back(Through(ts));
        return out;
    }
};

TEST(ClockJoin, TakesTheVideosPauseOutOfEveryStreamAlike) {
    media::ClockJoin join(1000 * kMs, true);
    Pad video(join, true), audio(join, false);
    // 25 pictures a second, the clock starting again with half a second's pause.
    const auto before = video.Run(1000 * kMs, 40 * kMs, 2000 * kMs);
    EXPECT_EQ(before.back(), 1960 * kMs) << "nothing moves before the join";
    EXPECT_EQ(video.Through(2500 * kMs), 2000 * kMs) << "the picture after the join follows the last";
    EXPECT_EQ(video.Through(2540 * kMs), 2040 * kMs);
    // The sound, whose own pause is shorter, moves as the picture did.
    audio.Run(1000 * kMs, 32 * kMs, 2000 * kMs);
    EXPECT_EQ(audio.Through(2450 * kMs), 1950 * kMs);
}

TEST(ClockJoin, UntilTheVideoReachesTheJoinTheSoundsPauseCounts) {
    media::ClockJoin join(0, true);
    Pad video(join, true), audio(join, false);
    video.Run(0, 40 * kMs, 400 * kMs);
    audio.Run(0, 32 * kMs, 416 * kMs);
    EXPECT_EQ(audio.Through(1016 * kMs), 416 * kMs) << "its own 600 ms pause";
    EXPECT_EQ(video.Through(1100 * kMs), 400 * kMs) << "the video's 700 ms from now on";
    EXPECT_EQ(audio.Through(1048 * kMs), 348 * kMs);
}

TEST(ClockJoin, AClockThatGoesBackIsCarriedOn) {
    media::ClockJoin join(0, true);
    Pad video(join, true);
    video.Run(5000 * kMs, 40 * kMs, 6000 * kMs);
    EXPECT_EQ(video.Through(300 * kMs), 6000 * kMs) << "a second title's clock from 0.3 s";
    // Pictures reordered a little are no restart.
    EXPECT_EQ(video.Through(260 * kMs + 120 * kMs), 6080 * kMs);
    EXPECT_EQ(video.Through(340 * kMs), 6040 * kMs);
}

TEST(ClockJoin, WithoutRestartsTimestampsPassAsTheyAre) {
    media::ClockJoin join(0, false);
    Pad video(join, true);
    video.Run(0, 40 * kMs, 200 * kMs);
    EXPECT_EQ(video.Through(3000 * kMs), 3000 * kMs);
}

TEST(ClockJoin, GapsMoveWithTheirStreamAndTheSegmentStartsAtTheFirstTimestamp) {
    media::ClockJoin join(1000 * kMs, true);
    Pad video(join, true);
    GstEvent* event = nullptr;
    const GstSegment* segment = nullptr;
    while ((event = gst_harness_try_pull_event(video.h)) && GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) gst_event_unref(event);
    ASSERT_NE(event, nullptr);
    gst_event_parse_segment(event, &segment);
    EXPECT_EQ(segment->start, 1000 * kMs) << "a push source's segment opens at 0";
    gst_event_unref(event);

    video.Run(1000 * kMs, 40 * kMs, 2000 * kMs);
    video.Through(2500 * kMs);
    gst_harness_push_event(video.h, gst_event_new_gap(3000 * kMs, 1000 * kMs));
    while ((event = gst_harness_try_pull_event(video.h)) && GST_EVENT_TYPE(event) != GST_EVENT_GAP) gst_event_unref(event);
    ASSERT_NE(event, nullptr);
    GstClockTime start = 0, duration = 0;
    gst_event_parse_gap(event, &start, &duration);
    EXPECT_EQ(start, 2500 * kMs);
    EXPECT_EQ(duration, 1000 * kMs);
    gst_event_unref(event);
}

} // namespace
