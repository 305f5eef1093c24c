// Counts what ffmpeg's idet filter sees in a run of MPEG-2 pictures: how
// many show the comb of two fields from different instants, and how many
// repeat a field of the picture before (3:2 pulldown repeats two fields in
// every five pictures).
#include "fields_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
}

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <vector>

namespace {

struct Measure {
    AVCodecParserContext* parser = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    AVFilterGraph* graph = nullptr;
    AVFilterContext* in = nullptr;
    AVFilterContext* out = nullptr;
    VobcastFieldCounts* counts = nullptr;

    ~Measure() {
        avfilter_graph_free(&graph);
        avcodec_free_context(&decoder);
        if (parser) av_parser_close(parser);
        av_frame_free(&picture);
        av_packet_free(&packet);
    }

    bool Open() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
        parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
        decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!parser || !decoder || !packet || !picture) return false;
        decoder->thread_count = 1;
        return avcodec_open2(decoder, codec, nullptr) >= 0;
    }

    // buffer ! idet ! buffersink, once the first picture gives the size.
    bool BuildGraph(const AVFrame* first) {
        char args[160];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1001/30000:pixel_aspect=1/1",
                      first->width, first->height, first->format);
        graph = avfilter_graph_alloc();
        if (!graph) return false;
        graph->nb_threads = 1;
        AVFilterContext* idet = nullptr;
        return avfilter_graph_create_filter(&in, avfilter_get_by_name("buffer"), "in", args, nullptr, graph) >= 0 &&
               avfilter_graph_create_filter(&idet, avfilter_get_by_name("idet"), "idet", nullptr, nullptr, graph) >= 0 &&
               avfilter_graph_create_filter(&out, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph) >= 0 &&
               avfilter_link(in, 0, idet, 0) >= 0 && avfilter_link(idet, 0, out, 0) >= 0 &&
               avfilter_graph_config(graph, nullptr) >= 0;
    }

    void Count(const AVFrame* frame) {
        const AVDictionaryEntry* single = av_dict_get(frame->metadata, "lavfi.idet.single.current_frame", nullptr, 0);
        const AVDictionaryEntry* repeat = av_dict_get(frame->metadata, "lavfi.idet.repeated.current_frame", nullptr, 0);
        ++counts->pictures;
        if (single && (std::strcmp(single->value, "tff") == 0 || std::strcmp(single->value, "bff") == 0))
            ++counts->combed;
        if (repeat && std::strcmp(repeat->value, "neither") != 0) ++counts->repeated;
    }

    // Runs what the decoder has through idet.
    bool Drain(bool flush) {
        if (flush) avcodec_send_packet(decoder, nullptr);
        while (avcodec_receive_frame(decoder, picture) >= 0) {
            if (!graph && !BuildGraph(picture)) return false;
            picture->pts = pts++;
            if (av_buffersrc_add_frame(in, picture) < 0) return false;
        }
        if (flush && graph && av_buffersrc_add_frame(in, nullptr) < 0) return false;
        AVFrame* seen = av_frame_alloc();
        while (graph && seen && av_buffersink_get_frame(out, seen) >= 0) {
            Count(seen);
            av_frame_unref(seen);
        }
        av_frame_free(&seen);
        return true;
    }

    std::int64_t pts = 0;
};

} // namespace

int32_t VobcastFieldsMeasure(const uint8_t* es, size_t size, VobcastFieldCounts* counts) {
    // The parser takes an int's worth at a time; a sample is a few megabytes.
    if (!es || !counts || size > (std::size_t{1} << 30)) return -1;
    Measure m;
    m.counts = counts;
    if (!m.Open()) return -1;
    // The parser wants padded input.
    std::vector<std::uint8_t> padded(size + AV_INPUT_BUFFER_PADDING_SIZE);
    std::copy(es, es + size, padded.begin());
    const std::uint8_t* at = padded.data();
    std::size_t left = size;
    while (left > 0) {
        std::uint8_t* data = nullptr;
        int bytes = 0;
        const int used = av_parser_parse2(m.parser, m.decoder, &data, &bytes, at, static_cast<int>(left), AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0) return -1;
        at += used;
        left -= static_cast<std::size_t>(used);
        if (bytes > 0) {
            m.packet->data = data;
            m.packet->size = bytes;
            // A damaged or cut-off picture is skipped, as the decoder of a conversion skips it.
            avcodec_send_packet(m.decoder, m.packet);
            if (!m.Drain(false)) return -1;
        }
        if (used == 0 && bytes == 0) break;
    }
    // The parser keeps the last picture until it is told the stream ends.
    std::uint8_t* data = nullptr;
    int bytes = 0;
    av_parser_parse2(m.parser, m.decoder, &data, &bytes, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (bytes > 0) {
        m.packet->data = data;
        m.packet->size = bytes;
        avcodec_send_packet(m.decoder, m.packet);
    }
    return m.Drain(true) ? 0 : -1;
}
