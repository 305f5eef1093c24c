#include "platform/media/source/black_bars.h"

#include "platform/media/source/pack_scan.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace media {
namespace {

// Enough of a DVD's stream (at its highest rate) for a sequence header and a
// whole GOP after it.
constexpr std::size_t kPlaceBytes = std::size_t{3} << 19;
constexpr int kPicturesPerPlace = 3;

// Video black is 16; coding noise and a faint edge stay below these.
constexpr int kDarkMean = 28;
constexpr int kBrightLevel = 48;

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
template <typename T>
using Owned = std::unique_ptr<T, CodecFree>;

// A line of luma samples (count of them, step apart) is dark when it is dark
// on average and hardly a sample of it is bright.
bool DarkLine(const std::uint8_t* p, int count, std::ptrdiff_t step) {
    int sum = 0;
    int bright = 0;
    for (int i = 0; i < count; ++i, p += step) {
        sum += *p;
        bright += *p > kBrightLevel ? 1 : 0;
    }
    return sum <= kDarkMean * count && bright * 50 <= count;
}

// The dark lines at each edge of one picture; a picture dark all over says nothing.
bool PictureBars(const AVFrame& f, Crop& bars) {
    const int w = f.width;
    const int h = f.height;
    const std::uint8_t* y = f.data[0];
    const std::ptrdiff_t stride = f.linesize[0];
    auto row = [&](int r) { return DarkLine(y + stride * r, w, 1); };
    auto column = [&](int c) { return DarkLine(y + c, h, stride); };
    int top = 0;
    while (top < h && row(top)) ++top;
    if (top == h) return false;
    int bottom = 0;
    while (bottom < h - top && row(h - 1 - bottom)) ++bottom;
    int left = 0;
    while (left < w && column(left)) ++left;
    int right = 0;
    while (right < w - left && column(w - 1 - right)) ++right;
    if (left == w) left = right = 0;  // bright rows, dark columns: no side bars
    bars = {top, bottom, left, right};
    return true;
}

class PlaceDecoder {
public:
    bool Open() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
        if (!codec) return false;
        context_.reset(avcodec_alloc_context3(codec));
        parser_.reset(av_parser_init(AV_CODEC_ID_MPEG2VIDEO));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        return context_ && parser_ && frame_ && packet_ && avcodec_open2(context_.get(), codec, nullptr) >= 0;
    }

    // Decodes the pictures of es, up to kPicturesPerPlace, into found.
    void Decode(const std::vector<std::uint8_t>& es, std::vector<Crop>& found, int& width, int& height) {
        avcodec_flush_buffers(context_.get());
        int taken = 0;
        const std::uint8_t* data = es.data();
        std::size_t left = es.size();
        while (left > 0 && taken < kPicturesPerPlace) {
            std::uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser_.get(), context_.get(), &out, &outSize, data,
                                              static_cast<int>(std::min<std::size_t>(left, 1 << 20)), AV_NOPTS_VALUE,
                                              AV_NOPTS_VALUE, 0);
            if (used <= 0) break;
            data += used;
            left -= static_cast<std::size_t>(used);
            if (outSize == 0) continue;
            packet_->data = out;
            packet_->size = outSize;
            if (avcodec_send_packet(context_.get(), packet_.get()) < 0) continue;
            while (taken < kPicturesPerPlace && avcodec_receive_frame(context_.get(), frame_.get()) >= 0) {
                const AVFrame& f = *frame_;
                if (f.format == AV_PIX_FMT_YUV420P && (width == 0 || (f.width == width && f.height == height))) {
                    width = f.width;
                    height = f.height;
                    Crop bars;
                    if (PictureBars(f, bars)) found.push_back(bars);
                    ++taken;
                }
                av_frame_unref(frame_.get());
            }
        }
    }

private:
    Owned<AVCodecContext> context_;
    Owned<AVCodecParserContext> parser_;
    Owned<AVFrame> frame_;
    Owned<AVPacket> packet_;
};

} // namespace

BlackBars FindBlackBars(const ProgramSource& source, int places) {
    BlackBars result;
    std::unique_ptr<SourceBytes> bytes = OpenSourceBytes(source, result.error);
    if (!bytes) return result;
    PlaceDecoder decoder;
    if (!decoder.Open()) {
        result.error = "libavcodec has no MPEG-2 video decoder";
        return result;
    }
    const std::uint64_t size = bytes->Size();
    std::vector<Crop> found;
    for (int i = 0; i < places; ++i) {
        // The middle of each of places equal stretches, at a sector's start.
        const std::uint64_t at = size * static_cast<std::uint64_t>(2 * i + 1) / static_cast<std::uint64_t>(2 * places);
        const std::vector<std::uint8_t> es = VideoElementaryStream(bytes->ReadAt(at & ~std::uint64_t{2047}, kPlaceBytes));
        decoder.Decode(es, found, result.width, result.height);
    }
    result.pictures = static_cast<int>(found.size());
    if (found.empty()) {
        result.error = "no picture could be decoded";
        return result;
    }
    Crop bars = found.front();
    for (const Crop& c : found) {
        bars.top = std::min(bars.top, c.top);
        bars.bottom = std::min(bars.bottom, c.bottom);
        bars.left = std::min(bars.left, c.left);
        bars.right = std::min(bars.right, c.right);
    }
    // Bars come in pairs: a dark stretch at one edge that the other edge does
    // not mirror is part of the picture (a night sky, a dark wall), cut no
    // further than the other side's bar allows.
    const auto pair = [](int& a, int& b) {
        constexpr int kEdge = 16;  // the ragged black edge a transfer leaves
        const int most = 3 * std::min(a, b) + kEdge;
        a = std::min(a, most);
        b = std::min(b, most);
    };
    pair(bars.top, bars.bottom);
    pair(bars.left, bars.right);
    // Rounded down: a dark line may stay, no line of the picture goes.
    result.crop = {bars.top & ~1, bars.bottom & ~1, bars.left & ~1, bars.right & ~1};
    return result;
}

} // namespace media
