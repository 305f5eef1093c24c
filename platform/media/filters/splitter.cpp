// "MPEG-2 Splitter": mpegpsdemux. Like the Windows splitter it offers its output
// pins once its input is connected and the stream has been probed: "Video" for
// the first MPEG video stream, "AC3" for the sound track chosen (the first AC-3
// stream when none was, else the first MPEG or LPCM stream; see
// ChosenAudioPad). Streams nobody connected are drained into a fake sink so
// they never hold the demuxer up.
#include "platform/media/elements/subtitle_overlay.h"
#include "platform/media/filters/factories.h"
#include "platform/media/filters/splitter.h"
#include "platform/media/graph/filter.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/repair/clock_join.h"
#include "platform/media/source/dvd_title.h"
#include "platform/media/source/stream_probe.h"
#include "platform/media/source/title_source.h"

#include "platform/com/text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace media {
namespace {

// Where a subpicture stream's colours come from: a title's colour table, or
// for a title set's VOB file the IFO file beside it.
void FindColours(const ProgramSource& program, ISplitterInfo::Subtitles& subtitles) {
    if (program.IsTitle()) {
        DvdTitlePlan plan;
        if (std::string error; PlanTitle(program.path, program.title, program.angle, plan, error))
            subtitles.palette = DvdPaletteText(plan.title.palette);
        return;
    }
    subtitles.ifo = TitleSetIfo(program.path);
}

class Splitter final : public Filter, public ISplitterInfo {
public:
    explicit Splitter(const std::u16string& name) : Filter(name) {
        demux_ = MakeElement("mpegpsdemux");
        gst_bin_add(GST_BIN(bin_.get()), demux_);
        GstPtr<GstPad> sink(gst_element_get_static_pad(demux_, "sink"));
        input_ = AddGhostPin(u"Input", PINDIR_INPUT, sink.get());
        padAdded_ = g_signal_connect(demux_, "pad-added", G_CALLBACK(OnPadAdded), this);
    }

    ~Splitter() override { g_signal_handler_disconnect(demux_, padAdded_); }

    HRESULT PrepareInput(Pin* in, Pin* upstream) override {
        if (in != input_ || probed_) return E_UNEXPECTED;
        ComPtr<IProgramSourceFilter> source;
        if (FAILED(com::QueryInterface(upstream->Owner(), source))) return VFW_E_TYPE_NOT_ACCEPTED;
        const ProgramSource program = source->Source();
        if (program.path.empty()) return VFW_E_TYPE_NOT_ACCEPTED;
        ProbeResult probe = ProbeProgramStream(program, true);
        if (probe.scrambled) return VFW_E_SOURCE_ENCRYPTED;
        if (!probe.ok) {
            GST_INFO_OBJECT(bin_.get(), "refusing the input: %s", probe.error.c_str());
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
        durationNs_ = probe.durationNs;
        film_ = probe.film;
        fieldFilters_ = probe.fieldFilters;
        crop_ = program.crop;
        join_ = std::make_unique<ClockJoin>(probe.firstNs, probe.clockRestarts > 0);
        probed_ = true;
        if (program.subtitleStream >= 0) {
            char pad[32];
            std::snprintf(pad, sizeof pad, "subpicture_%02x", 0x20 + program.subtitleStream);
            subpicturePad_ = pad;
            subtitles_.chosen = true;
            subtitles_.forcedOnly = program.forcedSubtitles;
            FindColours(program, subtitles_);
        }
        if (program.subtitleStream >= 0 && !program.IsTitle()) AnnounceStreams(probe.streams, program.subtitleStream);
        const std::string audio = ChosenAudioPad(probe.streams, program.audioStream);
        for (ProbedStream& stream : probe.streams) {
            if (!video_.pin && IsMpegVideo(stream.caps.get())) {
                video_ = {stream.padName, AddGhostPin(u"Video", PINDIR_OUTPUT, nullptr, stream.caps.get())};
            } else if (!audio_.pin && stream.padName == audio) {
                audio_ = {stream.padName, AddGhostPin(u"AC3", PINDIR_OUTPUT, nullptr, stream.caps.get())};
            }
        }
        return S_OK;
    }

    std::int64_t DurationNs() const override { return durationNs_; }
    bool Film() const override { return film_; }
    std::string FieldFilters() const override { return fieldFilters_; }
    Crop PictureCrop() const override { return crop_; }
    Subtitles ChosenSubtitles() const override { return subtitles_; }
    void SendSubpicturesTo(GstPad* sink) override { subpictureSink_.reset(GST_PAD(gst_object_ref(sink))); }

private:
    struct Output {
        std::string padName;
        Pin* pin = nullptr;
    };

    static void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
        static_cast<Splitter*>(data)->PadAdded(pad);
    }

    // Runs on the demuxer's streaming thread.
    void PadAdded(GstPad* pad) {
        gchar* name = gst_pad_get_name(pad);
        Pin* pin = nullptr;
        if (video_.pin && video_.padName == name) pin = video_.pin;
        if (audio_.pin && audio_.padName == name) pin = audio_.pin;
        const bool subpictures = subpictureSink_ && subpicturePad_ == name;
        g_free(name);
        if (subpictures && LinkSubpictures(pad)) return;
        if (pin && gst_pad_is_linked(pin->Pad())) {
            if (pin == video_.pin) HoldForTests(pad);
            join_->Watch(pad, pin == video_.pin);
            gst_pad_add_probe(pad,
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                           GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                              pin == video_.pin ? OnVideo : OnAudio, &ends_, nullptr);
            gst_ghost_pad_set_target(GST_GHOST_PAD(pin->Pad()), pad);
            return;
        }
        DrainPad(GST_BIN(bin_.get()), pad);
    }

    // The demultiplexer offers only the streams it meets in the first second
    // or so of a file; a subpicture stream that starts later is read and
    // thrown away. A DVD reader tells it the title's streams first (a
    // "dvd-lang-codes" event), and so does this for a VOB file whose
    // subtitles are chosen: its sound as probed, and the subpicture stream.
    void AnnounceStreams(const std::vector<ProbedStream>& streams, int subpictureStream) {
        // The formats by the stream ids' ranges: AC-3 0x80-0x87, DTS 0x88-0x8f, LPCM 0xa0-, MPEG audio 0xc0-.
        constexpr struct {
            int first;
            const char* format;
        } kKinds[] = {{0x80, "AC-3"}, {0x88, "DTS"}, {0xa0, "LPCM"}, {0xc0, "MPEG-1"}};
        std::vector<DvdAudio> audio;
        for (const ProbedStream& stream : streams) {
            const int id = AudioStreamId(stream.padName);
            for (const auto& kind : kKinds)
                if (id >= kind.first && id < kind.first + 8) audio.push_back({id - kind.first, "", kind.format, 0});
        }
        DvdSubtitle subpictures;
        subpictures.stream = subpictureStream;
        announcement_.reset(StreamAnnouncement(audio, {subpictures}));
        GstPtr<GstPad> sink(gst_element_get_static_pad(demux_, "sink"));
        // Given in the demultiplexer's own thread, before its first data.
        gst_pad_add_probe(sink.get(), static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_PULL |
                                                                    GST_PAD_PROBE_TYPE_PUSH),
                          Announce, this, nullptr);
    }
    static GstPadProbeReturn Announce(GstPad* pad, GstPadProbeInfo*, gpointer data) {
        auto* self = static_cast<Splitter*>(data);
        if (GstEvent* event = self->announcement_.release()) gst_pad_send_event(pad, event);
        return GST_PAD_PROBE_REMOVE;
    }

    // A test hook: VOBCAST_TEST_HANG=SECONDS holds the pictures from that
    // time of the stream on in the demultiplexer's thread until the graph is
    // flushed, as an element that waits for what never comes would;
    // "SECONDS,wedge" holds them for good, flushed or not.
    static void HoldForTests(GstPad* pad) {
        const char* setting = std::getenv("VOBCAST_TEST_HANG");
        if (!setting || !*setting) return;
        auto* hold = new Hold{static_cast<GstClockTime>(std::atof(setting) * GST_SECOND),
                              std::strstr(setting, ",wedge") != nullptr};
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, HoldPictures, hold,
                          [](gpointer data) { delete static_cast<Hold*>(data); });
    }
    struct Hold {
        GstClockTime from;
        bool forGood;
    };
    static GstPadProbeReturn HoldPictures(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
        const auto* hold = static_cast<const Hold*>(data);
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!GST_BUFFER_PTS_IS_VALID(buffer) || GST_BUFFER_PTS(buffer) < hold->from) return GST_PAD_PROBE_OK;
        GST_WARNING_OBJECT(pad, "VOBCAST_TEST_HANG: holding the pictures at %" GST_TIME_FORMAT,
                           GST_TIME_ARGS(GST_BUFFER_PTS(buffer)));
        while (hold->forGood || !GST_PAD_IS_FLUSHING(pad)) g_usleep(10000);
        return GST_PAD_PROBE_DROP;
    }

    // Where the picture and the sound have got to (timestamps as the join
    // gives them), so that the picture can be held to the end of the sound;
    // the subpicture stream, told how far the demultiplexer has read.
    struct Ends {
        std::atomic<GstClockTime> video{0}, audio{0};
        std::atomic<GstPad*> subpictures{nullptr};  // the bin's pad that sends them on
        GstClockTime lastBeat = GST_CLOCK_TIME_NONE;  // the demultiplexer's thread only
    };

    // The chosen subpicture stream leaves the bin by a pad of its own,
    // linked to the overlay in the video decoder.
    bool LinkSubpictures(GstPad* pad) {
        GstPad* ghost = gst_ghost_pad_new("subpicture", pad);
        if (!ghost) return false;
        gst_pad_set_active(ghost, TRUE);
        gst_element_add_pad(bin_.get(), ghost);
        if (GST_PAD_LINK_FAILED(gst_pad_link(ghost, subpictureSink_.get()))) {
            GST_WARNING_OBJECT(bin_.get(), "the subpictures can't reach the video decoder");
            gst_element_remove_pad(bin_.get(), ghost);
            return false;
        }
        join_->Follow(pad);
        ends_.subpictures = ghost;
        return true;
    }

    // Subpictures come seldom, and before the pictures they are shown on. A
    // stream's data reaches the demultiplexer ahead of its time by the most
    // the disc's buffers hold, under a second: once the demultiplexer has
    // handed on picture or sound of time t, nothing of the subpicture stream
    // comes before t less a second. The overlay hears so every quarter of a
    // second of the stream, from the first picture or sound on, whether or
    // not a subpicture has come yet, so that it waits for one only as long as
    // one may still come.
    static void Heartbeat(Ends& ends) {
        GstPad* pad = ends.subpictures.load();
        const GstClockTime read = std::max(ends.video.load(), ends.audio.load());
        if (!pad) return;
        const GstClockTime horizon = read > kSubpictureLead ? read - kSubpictureLead : 0;
        if (GST_CLOCK_TIME_IS_VALID(ends.lastBeat) && horizon < ends.lastBeat + kBeat) return;
        ends.lastBeat = horizon;
        gst_pad_push_event(pad, SubpictureHorizonEvent(horizon));
    }
    static constexpr GstClockTime kSubpictureLead = GST_SECOND;
    static constexpr GstClockTime kBeat = GST_SECOND / 4;

    static GstClockTime Latest(GstPadProbeInfo* info) {
        if (!(info->type & GST_PAD_PROBE_TYPE_BUFFER)) return 0;
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        if (!GST_BUFFER_PTS_IS_VALID(buffer)) return 0;
        return GST_BUFFER_PTS(buffer) + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
    }

    static void Advance(std::atomic<GstClockTime>& end, GstClockTime to) {
        GstClockTime at = end.load();
        while (to > at && !end.compare_exchange_weak(at, to)) {
        }
    }

    static GstPadProbeReturn OnAudio(GstPad*, GstPadProbeInfo* info, gpointer data) {
        auto* ends = static_cast<Ends*>(data);
        Advance(ends->audio, Latest(info));
        Heartbeat(*ends);
        return GST_PAD_PROBE_OK;
    }

    // The demuxer announces a gap while the pictures pause and the sound goes
    // on, but not at the end: where the pictures end before the sound (a
    // still over its music), the gap up to the sound's end goes ahead of the
    // end of stream.
    static GstPadProbeReturn OnVideo(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
        auto* ends = static_cast<Ends*>(data);
        Advance(ends->video, Latest(info));
        Heartbeat(*ends);
        if (!(info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) ||
            GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_EOS)
            return GST_PAD_PROBE_OK;
        const GstClockTime video = ends->video.load(), audio = ends->audio.load();
        if (video > 0 && audio > video + kHeldAtEnd) {
            GST_INFO("the pictures end %" GST_TIME_FORMAT " before the sound: holding the last one",
                     GST_TIME_ARGS(audio - video));
            gst_pad_push_event(pad, gst_event_new_gap(video, audio - video));
        }
        return GST_PAD_PROBE_OK;
    }

    // Sound past the last picture's time by more than this holds the picture.
    static constexpr GstClockTime kHeldAtEnd = 100 * GST_MSECOND;

    GstElement* demux_;
    Pin* input_;
    Ends ends_;
    gulong padAdded_;
    bool probed_ = false;
    Output video_, audio_;
    std::int64_t durationNs_ = -1;
    bool film_ = false;
    std::string fieldFilters_;
    Crop crop_;
    std::unique_ptr<ClockJoin> join_;
    Subtitles subtitles_;
    std::string subpicturePad_;
    GstPtr<GstPad> subpictureSink_;
    std::unique_ptr<GstEvent, void (*)(GstEvent*)> announcement_{nullptr, [](GstEvent* e) { gst_event_unref(e); }};
};

} // namespace

ComPtr<IBaseFilter> MakeMpeg2Splitter(const std::u16string& name) {
    if (!HasFactory("mpegpsdemux")) return nullptr;
    return com::Make<Splitter>(name);
}

} // namespace media
