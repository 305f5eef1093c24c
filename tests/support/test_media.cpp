#include "test_media.h"
#include "sync_marks.h"

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

Decoded DecodeAvi(const std::string& path) {
    const Marks marks = MarksByGStreamer(path);
    Decoded out;
    out.ok = marks.ok;
    out.error = marks.error;
    out.videoFrames = marks.videoFrames;
    out.videoSeconds = marks.videoEnd;
    out.audioSeconds = marks.audioEnd;
    out.audioChannels = marks.audioChannels;
    return out;
}

} // namespace testing_media
