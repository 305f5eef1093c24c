// GOPs coded on several workers at once come back as one stream: every frame
// in its place, a key frame where each GOP starts, the data rate asked for.
#include "platform/media/elements/gop_encoders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 288;
constexpr int kFrames = 300;
constexpr int kGop = 5;
constexpr int kRateBps = 2500000;

// Frame n carries its number in three flat blocks, one octal digit each, over
// a busy texture that moves, so that the rate control has work to do.
int DigitLevel(int digit) { return 16 + digit * 28; }

AVFrame* Picture(int n) {
    AVFrame* f = av_frame_alloc();
    f->format = AV_PIX_FMT_YUV420P;
    f->width = kWidth;
    f->height = kHeight;
    av_frame_get_buffer(f, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            f->data[0][y * f->linesize[0] + x] = static_cast<std::uint8_t>(((x + 3 * n) * 13 ^ (y * 7)) & 0xff);
    for (int p = 1; p < 3; ++p)
        for (int y = 0; y < kHeight / 2; ++y) std::memset(f->data[p] + y * f->linesize[p], 128, kWidth / 2);
    for (int digit = 0, shift = 6; digit < 3; ++digit, shift -= 3) {
        const int level = DigitLevel((n >> shift) & 7);
        for (int y = 0; y < 32; ++y) std::memset(f->data[0] + y * f->linesize[0] + digit * 32, level, 32);
    }
    return f;
}

int ReadNumber(const AVFrame* f) {
    int number = 0;
    for (int digit = 0; digit < 3; ++digit) {
        long sum = 0;
        for (int y = 8; y < 24; ++y)
            for (int x = 8; x < 24; ++x) sum += f->data[0][y * f->linesize[0] + digit * 32 + x];
        number = number * 8 + static_cast<int>(std::lround((sum / 256.0 - 16) / 28));
    }
    return number;
}

struct Coded {
    std::vector<int> numbers;  // read back from each decoded frame, in stream order
    std::vector<bool> key;
    std::int64_t bytes = 0;
};

Coded Encode(AVCodecID codec, int workers) {
    media::GopSettings s;
    s.codec = codec;
    s.width = kWidth;
    s.height = kHeight;
    s.frameRate = AVRational{25, 1};
    s.bitRate = kRateBps;
    s.gopSize = kGop;
    s.workers = workers;
    std::string error;
    auto encoders = media::GopEncoders::Open(s, error);
    EXPECT_TRUE(encoders) << error;
    std::vector<AVPacket*> packets;
    const auto collect = [&] {
        while (AVPacket* p = encoders->Receive()) packets.push_back(p);
    };
    for (int n = 0; n < kFrames; ++n) {
        EXPECT_TRUE(encoders->Send(Picture(n), false));
        collect();
    }
    EXPECT_TRUE(encoders->Drain()) << encoders->Error();
    collect();

    Coded out;
    AVCodecContext* dec = avcodec_alloc_context3(avcodec_find_decoder(codec));
    dec->width = kWidth;
    dec->height = kHeight;
    EXPECT_EQ(avcodec_open2(dec, avcodec_find_decoder(codec), nullptr), 0);
    AVFrame* frame = av_frame_alloc();
    for (AVPacket* p : packets) {
        out.bytes += p->size;
        out.key.push_back((p->flags & AV_PKT_FLAG_KEY) != 0);
        EXPECT_EQ(avcodec_send_packet(dec, p), 0);
        while (avcodec_receive_frame(dec, frame) == 0) out.numbers.push_back(ReadNumber(frame));
        av_packet_free(&p);
    }
    avcodec_send_packet(dec, nullptr);
    while (avcodec_receive_frame(dec, frame) == 0) out.numbers.push_back(ReadNumber(frame));
    av_frame_free(&frame);
    avcodec_free_context(&dec);
    return out;
}

class GopEncodersTest : public testing::TestWithParam<AVCodecID> {};

TEST_P(GopEncodersTest, WorkersMakeOneStreamInFrameOrderAtTheAskedRate) {
    const Coded one = Encode(GetParam(), 1);
    const Coded two = Encode(GetParam(), 2);
    for (const Coded* c : {&one, &two}) {
        ASSERT_EQ(c->numbers.size(), static_cast<std::size_t>(kFrames));
        for (int n = 0; n < kFrames; ++n) {
            EXPECT_EQ(c->numbers[n], n) << "frame " << n << (c == &two ? " from two workers" : "");
            if (n % kGop == 0) {
                EXPECT_TRUE(c->key[n]) << "GOP start " << n;
            }
        }
        // Each worker keeps its own rate: together they make the rate asked.
        const double seconds = kFrames / 25.0;
        EXPECT_GT(c->bytes * 8, kRateBps * seconds * 0.6);
        EXPECT_LT(c->bytes * 8, kRateBps * seconds * 1.5);
    }
    // Each worker settles its rate from its first GOP on; a worker that counted
    // the time of every frame, its own or not, would overspend by a third.
    EXPECT_NEAR(static_cast<double>(two.bytes), static_cast<double>(one.bytes), one.bytes * 0.15);
}

INSTANTIATE_TEST_SUITE_P(Codecs, GopEncodersTest, testing::Values(AV_CODEC_ID_MPEG4, AV_CODEC_ID_MSMPEG4V3));

TEST(GopEncoders, SettingsTheEncoderRefusesAreNamed) {
    media::GopSettings s;
    s.codec = AV_CODEC_ID_MPEG4;
    s.width = 0;  // no picture size
    s.height = 0;
    s.bitRate = kRateBps;
    s.workers = 2;
    std::string error;
    EXPECT_FALSE(media::GopEncoders::Open(s, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
