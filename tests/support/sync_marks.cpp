#include "sync_marks.h"

#include <gst/gst.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <sstream>

namespace testing_media {
namespace {

// A frame is a flash when its mean luma is above this (the pattern is dimmed
// to half); a beep starts when the first channel's peak passes this level.
constexpr double kFlashLuma = 180;
constexpr double kBeepLevel = 0.2;
// Sound is judged in chunks of 5 ms.
constexpr int kChunk = 240;

// Adds an onset to marks when a signal turns on.
void Edge(bool on, bool& was, double t, std::vector<double>& onsets) {
    if (on && !was) onsets.push_back(t);
    was = on;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

} // namespace

std::string CommandOutput(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int result = ::pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return out;
}

double BandLevel(const std::string& path, int hz, const std::string& window) {
    const std::string out = CommandOutput("ffmpeg -nostdin -v info " + window + " -i " + Quote(path) +
                                          " -map 0:a -af 'bandpass=f=" + std::to_string(hz) +
                                          ":width_type=h:w=60,astats=measure_perchannel=none' -f null - 2>&1");
    const auto at = out.rfind("RMS level dB: ");
    return at == std::string::npos ? -200 : std::atof(out.c_str() + at + 14);
}

Marks MarksByLibav(const std::string& path) {
    Marks m;
    int status = 0;
    // One run a stream: the two metadata printers would share standard output.
    const std::string video = CommandOutput(
        "ffmpeg -nostdin -v error -i " + Quote(path) +
            " -map 0:v:0 -fps_mode passthrough -vf 'scale=64:48,signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-'"
            " -f null - 2>&1",
        &status);
    if (status != 0) {
        m.error = "ffmpeg could not read the video: " + video;
        return m;
    }
    const std::string audio = CommandOutput(
        "ffmpeg -nostdin -v error -i " + Quote(path) +
            " -map 0:a:0 -af 'pan=mono|c0=c0,asetnsamples=n=" + std::to_string(kChunk) +
            ",astats=metadata=1:reset=1,ametadata=print:key=lavfi.astats.Overall.Peak_level:file=-' -f null - 2>&1",
        &status);
    if (status != 0) {
        m.error = "ffmpeg could not read the audio: " + audio;
        return m;
    }
    double t = 0, last = 0, frame = 0;
    bool was = false;
    std::istringstream v(video);
    for (std::string line; std::getline(v, line);) {
        if (const auto at = line.find("pts_time:"); at != std::string::npos) {
            t = std::stod(line.substr(at + 9));
            if (m.videoFrames++ > 0) frame = t - last;
            last = t;
        } else if (const auto eq = line.find("YAVG="); eq != std::string::npos) {
            Edge(std::stod(line.substr(eq + 5)) > kFlashLuma, was, t, m.flashes);
        }
    }
    m.videoEnd = last + frame;
    was = false;
    std::istringstream a(audio);
    for (std::string line; std::getline(a, line);) {
        if (const auto at = line.find("pts_time:"); at != std::string::npos) {
            t = std::stod(line.substr(at + 9));
            m.audioEnd = t + static_cast<double>(kChunk) / 48000;
        } else if (const auto eq = line.find("Peak_level="); eq != std::string::npos) {
            const std::string value = line.substr(eq + 11);
            const double level = value.find("inf") != std::string::npos ? 0 : std::pow(10.0, std::stod(value) / 20);
            m.beepPeak = std::max(m.beepPeak, level);
            Edge(level > kBeepLevel, was, t, m.beeps);
        }
    }
    m.ok = m.videoFrames > 0;
    if (!m.ok) m.error = "ffmpeg found no video frames";
    return m;
}

namespace {

struct GstReading {
    Marks* m = nullptr;
    GstElement* pipeline = nullptr;
    std::mutex lock;
    bool flashOn = false, beepOn = false;
};

GstPadProbeReturn OnGray(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* r = static_cast<GstReading*>(data);
    GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!GST_BUFFER_PTS_IS_VALID(b)) return GST_PAD_PROBE_OK;
    const double t = static_cast<double>(GST_BUFFER_PTS(b)) / GST_SECOND;
    const double end = t + (GST_BUFFER_DURATION_IS_VALID(b) ? static_cast<double>(GST_BUFFER_DURATION(b)) / GST_SECOND : 0);
    GstMapInfo map;
    if (!gst_buffer_map(b, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    double sum = 0;
    for (gsize i = 0; i < map.size; ++i) sum += map.data[i];
    gst_buffer_unmap(b, &map);
    std::lock_guard guard(r->lock);
    ++r->m->videoFrames;
    r->m->videoEnd = std::max(r->m->videoEnd, end);
    Edge(map.size && sum / static_cast<double>(map.size) > kFlashLuma, r->flashOn, t, r->m->flashes);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn OnSound(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* r = static_cast<GstReading*>(data);
    GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
    int rate = 0, channels = 0;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        gst_structure_get_int(s, "rate", &rate);
        gst_structure_get_int(s, "channels", &channels);
        gst_caps_unref(caps);
    }
    if (rate <= 0 || channels <= 0 || !GST_BUFFER_PTS_IS_VALID(b)) return GST_PAD_PROBE_OK;
    const double start = static_cast<double>(GST_BUFFER_PTS(b)) / GST_SECOND;
    GstMapInfo map;
    if (!gst_buffer_map(b, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    const auto* s = reinterpret_cast<const std::int16_t*>(map.data);
    const std::size_t frames = map.size / 2 / static_cast<std::size_t>(channels);
    std::lock_guard guard(r->lock);
    r->m->audioChannels = channels;
    for (std::size_t f0 = 0; f0 < frames; f0 += kChunk) {
        double peak = 0;
        for (std::size_t f = f0; f < std::min(frames, f0 + kChunk); ++f)
            peak = std::max(peak, std::abs(static_cast<double>(s[f * static_cast<std::size_t>(channels)])) / 32768);
        r->m->beepPeak = std::max(r->m->beepPeak, peak);
        Edge(peak > kBeepLevel, r->beepOn, start + static_cast<double>(f0) / rate, r->m->beeps);
    }
    r->m->audioEnd = std::max(r->m->audioEnd, start + static_cast<double>(frames) / rate);
    gst_buffer_unmap(b, &map);
    return GST_PAD_PROBE_OK;
}

void OnDecoded(GstElement*, GstPad* pad, gpointer data) {
    auto* r = static_cast<GstReading*>(data);
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    const bool video = g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
    gst_caps_unref(caps);
    GstElement* chain = gst_parse_bin_from_description(
        video ? "videoconvert ! videoscale ! video/x-raw,format=GRAY8,width=64,height=48 ! fakesink name=s sync=false"
              : "audioconvert ! audio/x-raw,format=S16LE,layout=interleaved ! fakesink name=s sync=false",
        TRUE, nullptr);
    gst_bin_add(GST_BIN(r->pipeline), chain);
    gst_element_sync_state_with_parent(chain);
    GstPad* sink = gst_element_get_static_pad(chain, "sink");
    gst_pad_link(pad, sink);
    gst_object_unref(sink);
    GstElement* fake = gst_bin_get_by_name(GST_BIN(chain), "s");
    GstPad* probe = gst_element_get_static_pad(fake, "sink");
    gst_pad_add_probe(probe, GST_PAD_PROBE_TYPE_BUFFER, video ? OnGray : OnSound, r, nullptr);
    gst_object_unref(probe);
    gst_object_unref(fake);
}

} // namespace

Marks MarksByGStreamer(const std::string& path) {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
    Marks m;
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    g_object_set(src, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, decode, nullptr);
    gst_element_link(src, decode);
    GstReading reading;
    reading.m = &m;
    reading.pipeline = pipeline;
    g_signal_connect(decode, "pad-added", G_CALLBACK(OnDecoded), &reading);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 300 * GST_SECOND,
                                                 static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    m.ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (!m.ok) m.error = msg ? "GStreamer could not read the file" : "GStreamer timed out";
    if (msg) gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return m;
}

double MaxOffset(const Marks& marks) {
    double worst = 0;
    for (const double beep : marks.beeps) {
        double nearest = std::numeric_limits<double>::infinity();
        for (const double flash : marks.flashes)
            if (std::abs(beep - flash) < std::abs(nearest)) nearest = beep - flash;
        worst = std::max(worst, std::min(std::abs(nearest), 1.0));
    }
    return worst;
}

} // namespace testing_media
