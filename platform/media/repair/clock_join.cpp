#include "platform/media/repair/clock_join.h"

#include "platform/media/gst/runtime.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace media {
namespace {

// Further ahead of where a stream's last timestamp leads it, or further
// behind its latest one than pictures are ever reordered, is a restart.
constexpr GstClockTimeDiff kLeap = 250 * GST_MSECOND;
constexpr GstClockTimeDiff kBack = 500 * GST_MSECOND;

struct Run {
    bool video = false;
    bool sparse = false;  // a stream that follows the joins the others find
    GstClockTime latest = GST_CLOCK_TIME_NONE;  // the highest timestamp of the current run
    GstClockTime last = GST_CLOCK_TIME_NONE;
    GstClockTime step = GST_CLOCK_TIME_NONE;    // the shortest step forward seen
    std::size_t joins = 0;                      // restarts this stream has crossed
};

struct Join {
    GstClockTimeDiff pause = 0;
    bool byVideo = false;
    GstClockTime at = 0;  // the first timestamp after it, as the demuxer gave it
};

} // namespace

struct ClockJoin::State {
    std::int64_t firstNs;
    bool joinRestarts;
    std::mutex lock;
    std::vector<Join> joins;

    // The amount taken off a stream that has crossed n joins.
    GstClockTimeDiff Shift(std::size_t n) const {
        GstClockTimeDiff shift = 0;
        for (std::size_t i = 0; i < n && i < joins.size(); ++i) shift += joins[i].pause;
        return shift;
    }

    // The amount taken off a timestamp of a stream too sparse to show the
    // joins itself (subpictures): every join before it.
    GstClockTimeDiff ShiftAt(GstClockTime ts) const {
        GstClockTimeDiff shift = 0;
        for (const Join& join : joins)
            if (join.at <= ts) shift += join.pause;
        return shift;
    }

    GstClockTimeDiff Retime(Run& run, GstClockTime ts) {
        std::lock_guard guard(lock);
        if (run.sparse) return ShiftAt(ts);
        if (GST_CLOCK_TIME_IS_VALID(run.latest)) {
            const GstClockTime step = GST_CLOCK_TIME_IS_VALID(run.step) ? run.step : 0;
            const GstClockTimeDiff pause = GST_CLOCK_DIFF(run.latest + step, ts);
            if (pause > kLeap || GST_CLOCK_DIFF(ts, run.latest) > kBack) {
                if (run.joins == joins.size()) joins.push_back({pause, run.video, ts});
                else if (run.video && !joins[run.joins].byVideo) joins[run.joins] = {pause, true, ts};
                ++run.joins;
                GST_INFO("clock restart: %s pauses %" GST_STIME_FORMAT " at %" GST_TIME_FORMAT,
                         run.video ? "video" : "audio", GST_STIME_ARGS(pause), GST_TIME_ARGS(ts));
                run.latest = ts;
                run.last = GST_CLOCK_TIME_NONE;
            }
        }
        if (GST_CLOCK_TIME_IS_VALID(run.last) && ts > run.last) {
            const GstClockTime step = std::max<GstClockTime>(ts - run.last, 5 * GST_MSECOND);
            run.step = GST_CLOCK_TIME_IS_VALID(run.step) ? std::min(run.step, step) : step;
        }
        run.last = ts;
        if (!GST_CLOCK_TIME_IS_VALID(run.latest) || ts > run.latest) run.latest = ts;
        return Shift(run.joins);
    }
};

namespace {

struct PadWatch {
    std::shared_ptr<ClockJoin::State> state;
    Run run;
};

GstClockTime Moved(GstClockTime ts, GstClockTimeDiff shift) {
    if (!GST_CLOCK_TIME_IS_VALID(ts)) return ts;
    return shift > 0 && ts < static_cast<GstClockTime>(shift) ? 0 : static_cast<GstClockTime>(ts - shift);
}

GstPadProbeReturn OnData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* watch = static_cast<PadWatch*>(data);
    ClockJoin::State& state = *watch->state;
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_GAP && state.joinRestarts) {
            // A gap is timed as the stream's pictures are: by the joins it has crossed.
            GstClockTime start = GST_CLOCK_TIME_NONE, duration = GST_CLOCK_TIME_NONE;
            gst_event_parse_gap(event, &start, &duration);
            GstClockTimeDiff shift = 0;
            {
                std::lock_guard guard(state.lock);
                shift = watch->run.sparse ? state.ShiftAt(start) : state.Shift(watch->run.joins);
            }
            if (shift == 0) return GST_PAD_PROBE_OK;
            GstEvent* moved = gst_event_new_gap(Moved(start, shift), duration);
            gst_event_set_seqnum(moved, gst_event_get_seqnum(event));
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = moved;
            return GST_PAD_PROBE_OK;
        }
        if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT || state.firstNs < 0) return GST_PAD_PROBE_OK;
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        const auto first = static_cast<guint64>(state.firstNs);
        if (segment->format != GST_FORMAT_TIME || segment->start >= first) return GST_PAD_PROBE_OK;
        GstSegment moved;
        gst_segment_copy_into(segment, &moved);
        moved.start = first;
        moved.time = first;
        moved.position = first;
        GstEvent* replaced = gst_event_new_segment(&moved);
        gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replaced;
        return GST_PAD_PROBE_OK;
    }
    if (!state.joinRestarts) return GST_PAD_PROBE_OK;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime ts = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : GST_BUFFER_DTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(ts)) return GST_PAD_PROBE_OK;
    const GstClockTimeDiff shift = state.Retime(watch->run, ts);
    if (shift == 0) return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_BUFFER_PTS(buffer) = Moved(GST_BUFFER_PTS(buffer), shift);
    GST_BUFFER_DTS(buffer) = Moved(GST_BUFFER_DTS(buffer), shift);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

} // namespace

ClockJoin::ClockJoin(std::int64_t firstNs, bool joinRestarts) : state_(std::make_shared<State>()) {
    state_->firstNs = firstNs;
    state_->joinRestarts = joinRestarts;
}

ClockJoin::~ClockJoin() = default;

void ClockJoin::Watch(GstPad* pad, bool video) { Add(pad, video, false); }

void ClockJoin::Follow(GstPad* pad) { Add(pad, false, true); }

void ClockJoin::Add(GstPad* pad, bool video, bool sparse) {
    auto* watch = new PadWatch{state_, {}};
    watch->run.video = video;
    watch->run.sparse = sparse;
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      OnData, watch, [](gpointer p) { delete static_cast<PadWatch*>(p); });
}

} // namespace media
