// "AVI Mux": libavformat's AVI muxer (see avi_writer.h). Its inputs take a
// stream pad of the multiplexer as they are connected, video or audio after
// what the upstream pin offers. Seeking answers in reference time (100 ns).
// The position is how far every input has come (the least of their stream
// times); the duration is the multiplexer's while running, before that the
// one the splitter probed upstream.
//
// Each input has a queue of its own in front of the writer: the multiplexer holds
// one stream while it waits for the other (for seconds where a stream starts
// late), and without room to wait in, an encoder blocked there ends up
// blocking the demultiplexer that feeds both.
#include "platform/media/elements/avi_writer.h"
#include "platform/media/filters/factories.h"
#include "platform/media/filters/splitter.h"
#include "platform/media/graph/filter.h"
#include "platform/media/gst/runtime.h"

#include <atomic>
#include <memory>

namespace media {
namespace {

constexpr std::int64_t kNsPerRefTime = 100;
// Compressed data waiting for the other stream: a late stream's lead-in.
constexpr GstClockTime kInputQueueTime = 10 * GST_SECOND;

class AviMux final : public Filter, public IMediaSeeking, public IStreamPositions {
public:
    explicit AviMux(const std::u16string& name) : Filter(name) {
        mux_ = MakeElement(kAviWriterName);
        gst_bin_add(GST_BIN(bin_.get()), mux_);
        GstPtr<GstPad> src(gst_element_get_static_pad(mux_, "src"));
        GstPadTemplate* video = gst_element_get_pad_template(mux_, "video_%u");
        GstPadTemplate* audio = gst_element_get_pad_template(mux_, "audio_%u");
        CapsPtr any(gst_caps_merge(gst_pad_template_get_caps(video), gst_pad_template_get_caps(audio)));
        AddGhostPin(u"Input 01", PINDIR_INPUT, nullptr, any.get());
        AddGhostPin(u"Input 02", PINDIR_INPUT, nullptr, any.get());
        AddGhostPin(u"AVI Out", PINDIR_OUTPUT, src.get());
        gst_pad_add_probe(src.get(), GST_PAD_PROBE_TYPE_BUFFER, CountActivity, &activity_, nullptr);
    }

    HRESULT PrepareInput(Pin* in, Pin* upstream) override {
        CapsPtr offered = upstream->Caps();
        if (!offered || gst_caps_is_empty(offered.get()) || gst_caps_is_any(offered.get()))
            return VFW_E_NO_ACCEPTABLE_TYPES;
        const char* kind = gst_structure_get_name(gst_caps_get_structure(offered.get(), 0));
        // Motion JPEG comes as image/jpeg, a video stream all the same.
        const char* templ = g_str_has_prefix(kind, "video/") || g_str_has_prefix(kind, "image/") ? "video_%u"
                            : g_str_has_prefix(kind, "audio/") ? "audio_%u"
                                                               : nullptr;
        if (!templ) return VFW_E_NO_ACCEPTABLE_TYPES;
        GstPad* pad = gst_element_request_pad_simple(mux_, templ);
        if (!pad) return VFW_E_NO_ACCEPTABLE_TYPES;
        requested_.emplace_back(pad);
        GstElement* queue = MakeElement("queue");
        if (!queue) return VFW_E_NO_ACCEPTABLE_TYPES;
        g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", kInputQueueTime, nullptr);
        gst_bin_add(GST_BIN(bin_.get()), queue);
        GstPtr<GstPad> queueSrc(gst_element_get_static_pad(queue, "src"));
        GstPtr<GstPad> queueSink(gst_element_get_static_pad(queue, "sink"));
        if (GST_PAD_LINK_FAILED(gst_pad_link(queueSrc.get(), pad)) ||
            !gst_ghost_pad_set_target(GST_GHOST_PAD(in->Pad()), queueSink.get()))
            return VFW_E_NO_ACCEPTABLE_TYPES;
        auto progress = std::make_unique<InputProgress>();
        progress->audio = templ[0] == 'a';
        gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          OnInputData, progress.get(), nullptr);
        progress_.push_back(std::move(progress));
        return S_OK;
    }

    HRESULT CheckCapabilities(std::uint32_t& caps) override {
        constexpr std::uint32_t kHave = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetDuration;
        const std::uint32_t asked = caps;
        caps &= kHave;
        if (caps == asked) return S_OK;
        return caps ? S_FALSE : E_FAIL;
    }

    HRESULT GetDuration(std::int64_t& duration) override {
        gint64 ns = -1;
        if (!Running() || !gst_element_query_duration(mux_, GST_FORMAT_TIME, &ns) || ns < 0) ns = UpstreamDurationNs();
        if (ns < 0) return E_FAIL;
        duration = ns / kNsPerRefTime;
        return S_OK;
    }

    HRESULT GetCurrentPosition(std::int64_t& position) override {
        if (progress_.empty()) return E_FAIL;
        std::int64_t least = INT64_MAX;
        std::int64_t most = 0;
        bool allEnded = true;
        for (const auto& p : progress_) {
            const std::int64_t at = p->streamTimeNs.load(std::memory_order_relaxed);
            most = std::max(most, at);
            if (!p->ended.load(std::memory_order_relaxed)) {
                allEnded = false;
                least = std::min(least, at);
            }
        }
        position = (allEnded ? most : least) / kNsPerRefTime;
        return S_OK;
    }

    std::string SlowestStream() override {
        const InputProgress* slowest = nullptr;
        for (const auto& p : progress_) {
            if (p->ended.load(std::memory_order_relaxed)) continue;
            if (!slowest || p->streamTimeNs.load(std::memory_order_relaxed) <
                                slowest->streamTimeNs.load(std::memory_order_relaxed))
                slowest = p.get();
        }
        if (!slowest) return {};
        return slowest->audio ? "audio" : "video";
    }

    ~AviMux() override {
        for (auto& pad : requested_) gst_element_release_request_pad(mux_, pad.get());
    }

private:
    struct InputProgress {
        GstSegment segment;
        std::atomic<std::int64_t> streamTimeNs{0};
        std::atomic<bool> ended{false};
        bool audio = false;
        InputProgress() { gst_segment_init(&segment, GST_FORMAT_TIME); }
    };

    std::uint64_t Activity() override { return activity_.load(std::memory_order_relaxed); }

    static GstPadProbeReturn CountActivity(GstPad*, GstPadProbeInfo*, gpointer data) {
        static_cast<std::atomic<std::uint64_t>*>(data)->fetch_add(1, std::memory_order_relaxed);
        return GST_PAD_PROBE_OK;
    }

    // Runs on the input's streaming thread.
    static GstPadProbeReturn OnInputData(GstPad*, GstPadProbeInfo* info, gpointer data) {
        auto* p = static_cast<InputProgress*>(data);
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
            GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            GstClockTime ts = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : GST_BUFFER_DTS(buffer);
            if (!GST_CLOCK_TIME_IS_VALID(ts)) return GST_PAD_PROBE_OK;
            if (GST_BUFFER_DURATION_IS_VALID(buffer)) ts += GST_BUFFER_DURATION(buffer);
            // Running time counts from the start of the stream whatever its
            // first timestamp (DVD streams rarely start at 0).
            const guint64 rt = gst_segment_to_running_time(&p->segment, GST_FORMAT_TIME, ts);
            if (!GST_CLOCK_TIME_IS_VALID(rt)) return GST_PAD_PROBE_OK;
            const auto now = static_cast<std::int64_t>(rt);
            if (now > p->streamTimeNs.load(std::memory_order_relaxed))
                p->streamTimeNs.store(now, std::memory_order_relaxed);
            return GST_PAD_PROBE_OK;
        }
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_TIME) gst_segment_copy_into(segment, &p->segment);
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_EOS) {
            p->ended.store(true, std::memory_order_relaxed);
        }
        return GST_PAD_PROBE_OK;
    }

    bool Running() const {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(mux_, &state, nullptr, 0);
        return state >= GST_STATE_PAUSED;
    }

    // The duration of the source at the head of the video input's chain.
    std::int64_t UpstreamDurationNs() const {
        ComPtr<IEnumPins> pins;
        const_cast<AviMux*>(this)->EnumPins(pins);
        ComPtr<IPin> pin;
        while (pins->Next(pin) == S_OK) {
            for (Pin* p = static_cast<Pin*>(pin.Get()); p && p->Peer();) {
                Filter* up = p->Peer()->Owner();
                if (!up) break;
                ComPtr<ISplitterInfo> info;
                if (SUCCEEDED(com::QueryInterface(up, info))) return info->DurationNs();
                p = FirstInput(up);
            }
        }
        return -1;
    }

    static Pin* FirstInput(Filter* filter) {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins);
        ComPtr<IPin> pin;
        while (pins->Next(pin) == S_OK) {
            auto* p = static_cast<Pin*>(pin.Get());
            if (p->Direction() == PINDIR_INPUT) return p;
        }
        return nullptr;
    }

    GstElement* mux_;
    std::vector<GstPtr<GstPad>> requested_;
    std::vector<std::unique_ptr<InputProgress>> progress_;
    std::atomic<std::uint64_t> activity_{0};
};

} // namespace

ComPtr<IBaseFilter> MakeAviMux(const std::u16string& name) {
    RegisterAviWriter();
    if (!HasFactory(kAviWriterName)) return nullptr;
    return com::Make<AviMux>(name);
}

} // namespace media
