#include "test_media.h"

#include <gst/gst.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

#ifndef TEST_MEDIA_DIR
#error TEST_MEDIA_DIR must name the folder of the generated clips
#endif

namespace testing_media {
namespace {

constexpr const char* kStereoAc3 =
    "audiotestsrc num-buffers=%A ! audioconvert ! audio/x-raw,rate=48000,channels=2 ! avenc_ac3 bitrate=448000 ! "
    "ac3parse ! queue ! mx.";

void EnsureGst() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
    return s;
}

} // namespace

const std::vector<Clip>& Clips() {
    static const std::vector<Clip> clips = {
        {"ntsc.vob", 720, 480, 30000, 1001, 120, kStereoAc3},
        {"pal.vob", 720, 576, 25, 1, 75, kStereoAc3},
        {"long.vob", 720, 480, 30000, 1001, 600, kStereoAc3},
        // A second audio stream: stereo AC-3 as 0x80, mono AC-3 as 0x81.
        {"two-audio.vob", 720, 480, 30000, 1001, 90,
         "audiotestsrc num-buffers=%A ! audioconvert ! audio/x-raw,rate=48000,channels=2 ! avenc_ac3 "
         "bitrate=448000 ! ac3parse ! queue ! mx. audiotestsrc freq=1000 num-buffers=%A ! audioconvert ! "
         "audio/x-raw,rate=48000,channels=1 ! avenc_ac3 bitrate=192000 ! ac3parse ! queue ! mx."},
        // MPEG audio only: no AC-3 stream at all.
        {"mpeg-audio.vob", 720, 480, 30000, 1001, 60,
         "audiotestsrc num-buffers=%A ! audioconvert ! audio/x-raw,rate=48000,channels=2 ! avenc_mp2 ! "
         "mpegaudioparse ! queue ! mx."},
        // Fine moving detail, where the video data rate decides the file size.
        {"detail.vob", 720, 480, 30000, 1001, 60, kStereoAc3, "zone-plate kx2=20 ky2=20 kt=1 kxt=2"},
    };
    return clips;
}

const Clip& ClipNamed(const std::string& file) {
    for (const Clip& c : Clips())
        if (file == c.file) return c;
    throw std::invalid_argument("no clip " + file);
}

std::string MediaDir() { return TEST_MEDIA_DIR; }

std::string MediaPath(const std::string& file) { return MediaDir() + "/" + file; }

bool MakeClip(const Clip& clip, const std::string& path, std::string& error) {
    EnsureGst();
    // audiotestsrc's buffers hold 1024 samples at 48 kHz.
    const long audioBuffers = static_cast<long>(clip.frames) * clip.fpsDen * 48000 / clip.fpsNum / 1024 + 1;
    const std::string description =
        "videotestsrc pattern=" + std::string(clip.pattern) + " num-buffers=" + std::to_string(clip.frames) + " ! video/x-raw,width=" +
        std::to_string(clip.width) + ",height=" + std::to_string(clip.height) + ",framerate=" +
        std::to_string(clip.fpsNum) + "/" + std::to_string(clip.fpsDen) +
        " ! videoconvert ! video/x-raw,format=I420 ! mpeg2enc format=8 bitrate=6000 ! mpegvideoparse ! queue ! "
        "avmux_dvd name=mx ! filesink location=\"" + path + "\" " +
        Replace(clip.audio, "%A", std::to_string(audioBuffers));
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &err);
    if (!pipeline) {
        error = err ? err->message : "cannot build the pipeline";
        g_clear_error(&err);
        return false;
    }
    g_clear_error(&err);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 300 * GST_SECOND,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (!ok) {
        error = "generation failed";
        if (msg) {
            GError* e = nullptr;
            gst_message_parse_error(msg, &e, nullptr);
            if (e) error = e->message;
            g_clear_error(&e);
        }
    }
    if (msg) gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

namespace {

std::uint32_t U32(const std::string& d, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, d.data() + at, 4);
    return v;
}
std::uint16_t U16(const std::string& d, std::size_t at) {
    std::uint16_t v = 0;
    std::memcpy(&v, d.data() + at, 2);
    return v;
}

void ParseList(const std::string& d, std::size_t begin, std::size_t end, AviFile& avi) {
    std::size_t at = begin;
    while (at + 8 <= end) {
        const std::string id = d.substr(at, 4);
        const std::uint32_t size = U32(d, at + 4);
        const std::size_t body = at + 8;
        if (body + size > d.size()) break;
        if (id == "LIST" && size >= 4) {
            const std::string kind = d.substr(body, 4);
            if (kind == "strl") avi.streams.emplace_back();
            if (kind != "movi") ParseList(d, body + 4, body + size, avi);
        } else if (id == "strh" && !avi.streams.empty() && size >= 36) {
            AviStream& s = avi.streams.back();
            s.type = d.substr(body, 4);
            s.handler = d.substr(body + 4, 4);
            s.scale = U32(d, body + 20);
            s.rate = U32(d, body + 24);
            s.length = U32(d, body + 32);
            if (size >= 48) s.sampleSize = U32(d, body + 44);
        } else if (id == "avih" && size >= 40) {
            avi.microSecPerFrame = U32(d, body);
            avi.totalFrames = U32(d, body + 16);
        } else if (id == "vprp" && !avi.streams.empty() && size >= 24) {
            avi.streams.back().frameAspect = U32(d, body + 20);
        } else if (id == "strf" && !avi.streams.empty()) {
            AviStream& s = avi.streams.back();
            if (s.type == "vids" && size >= 40) {
                s.width = static_cast<int>(U32(d, body + 4));
                s.height = static_cast<int>(U32(d, body + 8));
                s.compression = U32(d, body + 16);
            } else if (s.type == "auds" && size >= 16) {
                s.formatTag = U16(d, body);
                s.channels = U16(d, body + 2);
                s.sampleRate = static_cast<int>(U32(d, body + 4));
                s.blockAlign = U16(d, body + 12);
            }
        } else if (id == "idx1") {
            avi.hasIndex = true;
            for (std::size_t e = body; e + 16 <= body + size; e += 16) {
                const std::string ck = d.substr(e, 4);
                const std::size_t stream = static_cast<std::size_t>((ck[0] - '0') * 10 + (ck[1] - '0'));
                if (stream >= avi.streams.size()) continue;
                ++avi.streams[stream].chunks;
                if (U32(d, e + 4) & 0x10) ++avi.streams[stream].keyFrames;
            }
        }
        at = body + size + (size & 1);
    }
}

} // namespace

AviFile ReadAvi(const std::string& path) {
    AviFile avi;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        avi.error = "cannot open " + path;
        return avi;
    }
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    avi.fileSize = d.size();
    if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "AVI ") != 0) {
        avi.error = "not a RIFF AVI file";
        return avi;
    }
    avi.riffSize = U32(d, 4);
    ParseList(d, 12, d.size(), avi);
    avi.valid = !avi.streams.empty();
    if (!avi.valid) avi.error = "no stream headers";
    return avi;
}

namespace {

struct DecodeState {
    Decoded* out;
    GstElement* pipeline;
    GstClockTime videoEnd = 0;
    guint64 samples = 0;
    int rate = 0;
};

GstPadProbeReturn CountVideo(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* s = static_cast<DecodeState*>(data);
    GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
    ++s->out->videoFrames;
    if (GST_BUFFER_PTS_IS_VALID(b)) {
        GstClockTime end = GST_BUFFER_PTS(b) + (GST_BUFFER_DURATION_IS_VALID(b) ? GST_BUFFER_DURATION(b) : 0);
        if (end > s->videoEnd) s->videoEnd = end;
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CountAudio(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* s = static_cast<DecodeState*>(data);
    if (!s->rate) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (caps) {
            const GstStructure* st = gst_caps_get_structure(caps, 0);
            gst_structure_get_int(st, "rate", &s->rate);
            gst_structure_get_int(st, "channels", &s->out->audioChannels);
            gst_caps_unref(caps);
        }
    }
    // Decoded as interleaved S16 by the audioconvert in front of the probe.
    const int channels = s->out->audioChannels ? s->out->audioChannels : 1;
    s->samples += gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info)) / (2u * static_cast<unsigned>(channels));
    return GST_PAD_PROBE_OK;
}

void OnDecodedPad(GstElement*, GstPad* pad, gpointer data) {
    auto* s = static_cast<DecodeState*>(data);
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    const bool video = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
    gst_caps_unref(caps);
    GstElement* sinkChain = gst_parse_bin_from_description(
        video ? "fakesink name=s sync=false" : "audioconvert ! audio/x-raw,format=S16LE ! fakesink name=s sync=false",
        TRUE, nullptr);
    gst_bin_add(GST_BIN(s->pipeline), sinkChain);
    gst_element_sync_state_with_parent(sinkChain);
    GstPad* sinkPad = gst_element_get_static_pad(sinkChain, "sink");
    gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
    GstElement* fake = gst_bin_get_by_name(GST_BIN(sinkChain), "s");
    GstPad* probePad = gst_element_get_static_pad(fake, "sink");
    gst_pad_add_probe(probePad, GST_PAD_PROBE_TYPE_BUFFER, video ? CountVideo : CountAudio, s, nullptr);
    gst_object_unref(probePad);
    gst_object_unref(fake);
}

} // namespace

Decoded DecodeAvi(const std::string& path) {
    EnsureGst();
    Decoded out;
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    g_object_set(src, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, decode, nullptr);
    gst_element_link(src, decode);
    DecodeState state{&out, pipeline};
    g_signal_connect(decode, "pad-added", G_CALLBACK(OnDecodedPad), &state);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    out.ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg && !out.ok) {
        GError* e = nullptr;
        gst_message_parse_error(msg, &e, nullptr);
        out.error = e ? e->message : "error";
        g_clear_error(&e);
    } else if (!msg) {
        out.error = "decoding timed out";
    }
    if (msg) gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    out.videoSeconds = static_cast<double>(state.videoEnd) / GST_SECOND;
    out.audioSeconds = state.rate ? static_cast<double>(state.samples) / state.rate : 0;
    return out;
}

} // namespace testing_media
