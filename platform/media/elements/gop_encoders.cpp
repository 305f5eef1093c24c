#include "platform/media/elements/gop_encoders.h"

#include <pthread.h>

#include <cmath>
#include <cstdio>

namespace media {

// Half a GOP waiting is enough to keep every worker busy: while one codes the
// second half of its GOP, the next is handed the first half of its own.
GopEncoders::GopEncoders(const GopSettings& settings)
    : settings_(settings),
      queueLimit_(settings.workers > 1 ? static_cast<std::size_t>(settings.gopSize + 1) / 2 : 2) {}

std::unique_ptr<GopEncoders> GopEncoders::Open(const GopSettings& settings, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(settings.codec);
    if (!codec) {
        error = "libavcodec has no such encoder";
        return nullptr;
    }
    std::unique_ptr<GopEncoders> encoders(new GopEncoders(settings));
    for (int i = 0; i < std::max(1, settings.workers); ++i) {
        auto worker = std::make_unique<Worker>();
        AVCodecContext* c = worker->context = avcodec_alloc_context3(codec);
        if (!c) {
            error = "out of memory";
            return nullptr;
        }
        c->width = settings.width;
        c->height = settings.height;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        // Frames are numbered in the encoder's time base, one tick a frame.
        c->time_base = AVRational{settings.frameRate.den, settings.frameRate.num};
        c->framerate = settings.frameRate;
        c->sample_aspect_ratio = settings.aspect;
        c->bit_rate = settings.bitRate;
        c->gop_size = settings.gopSize;
        c->max_b_frames = 0;
        // Two passes set each picture's quantiser themselves.
        if (settings.measure || settings.budget) {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = static_cast<int>(kMeasureQuantiser * FF_QP2LAMBDA);
            c->qmin = 1;  // a large size for a short or calm film spends it at the finest
        }
        // The workers are the parallelism; slices within a frame would only
        // add hand-offs and cost compression.
        c->thread_count = 1;
        if (avcodec_open2(c, codec, nullptr) < 0) {
            avcodec_free_context(&worker->context);
            error = "libavcodec refused the encoder's settings";
            return nullptr;
        }
        encoders->workers_.push_back(std::move(worker));
    }
    for (std::size_t i = 0; i < encoders->workers_.size(); ++i) {
        Worker& w = *encoders->workers_[i];
        w.thread = std::thread([&encoders = *encoders, &w, i] {
            char name[16];
            std::snprintf(name, sizeof name, "gop-encoder-%zu", i);
            pthread_setname_np(pthread_self(), name);
            encoders.Run(w);
        });
    }
    return encoders;
}

GopEncoders::~GopEncoders() {
    Stop();
    for (auto& w : workers_) {
        for (AVFrame* f : w->pending) av_frame_free(&f);
        avcodec_free_context(&w->context);
    }
    for (auto& [number, packet] : done_) av_packet_free(&packet);
}

void GopEncoders::WakeAll() {
    room_.notify_all();
    for (auto& w : workers_) w->ready.notify_one();
}

void GopEncoders::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        WakeAll();
    }
    for (auto& w : workers_)
        if (w->thread.joinable()) w->thread.join();
}

bool GopEncoders::Send(AVFrame* picture, bool forceKey) {
    const std::int64_t number = sent_++;
    auto gop = static_cast<std::size_t>(number / settings_.gopSize);
    // A GOP's first frame starts its worker afresh.
    const bool key = forceKey || number % settings_.gopSize == 0;
    if (settings_.measure) {
        if (gop % kMeasureEvery != 0) return PassOver(picture, number);
        gop /= kMeasureEvery;
        if (number % settings_.gopSize == 0)
            measureQuantiser_ = settings_.measure->StartWindow(number, settings_.measureBitsPerPicture);
        const double quantiser = key ? measureQuantiser_ * kKeyQuantiserShare : measureQuantiser_;
        picture->quality = static_cast<int>(std::lround(quantiser * FF_QP2LAMBDA));
    } else if (settings_.budget) {
        picture->quality = settings_.budget->Quality(number, key);
    }
    Worker& w = *workers_[gop % workers_.size()];
    // Each worker counts time by its own frames: libavcodec's rate control
    // aims at the data rate times the time its timestamps say has passed.
    picture->pts = w.sent++;
    picture->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return !error_.empty() || stopping_ || w.pending.size() < queueLimit_; });
    if (!error_.empty() || stopping_) {
        av_frame_free(&picture);
        return false;
    }
    const bool idle = w.pending.empty();
    w.pending.push_back(picture);
    w.numbers.push_back(number);
    lock.unlock();
    if (idle) w.ready.notify_one();
    return true;
}

bool GopEncoders::PassOver(AVFrame* picture, std::int64_t number) {
    av_frame_free(&picture);
    AVPacket* passed = av_packet_alloc();
    std::lock_guard lock(mutex_);
    if (!passed) error_ = "out of memory";
    if (!error_.empty()) return false;
    passed->flags = AV_PKT_FLAG_DISCARD;
    done_[number] = passed;
    return true;
}

AVPacket* GopEncoders::Receive() {
    AVPacket* packet = nullptr;
    std::int64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        const auto it = done_.find(next_);
        if (it == done_.end()) return nullptr;
        packet = it->second;
        done_.erase(it);
        number = next_++;
    }
    const std::int64_t bits = std::int64_t{packet->size} * 8;
    if (settings_.measure && (packet->flags & AV_PKT_FLAG_DISCARD) != 0) settings_.measure->Passed(number);
    else if (settings_.measure) settings_.measure->Coded(number, bits, (packet->flags & AV_PKT_FLAG_KEY) != 0);
    else if (settings_.budget) settings_.budget->Spent(number, bits);
    return packet;
}

bool GopEncoders::Drain() {
    {
        std::lock_guard lock(mutex_);
        for (auto& w : workers_) w->pending.push_back(nullptr);
        WakeAll();
    }
    for (auto& w : workers_)
        if (w->thread.joinable()) w->thread.join();
    std::lock_guard lock(mutex_);
    return error_.empty();
}

std::string GopEncoders::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void GopEncoders::Fail(const std::string& why) {
    std::lock_guard lock(mutex_);
    if (error_.empty()) error_ = why;
    WakeAll();
}

void GopEncoders::Run(Worker& w) {
    AVPacket* packet = av_packet_alloc();
    for (;;) {
        std::unique_lock lock(mutex_);
        w.ready.wait(lock, [&] { return stopping_ || !w.pending.empty(); });
        if (stopping_) break;
        const bool full = w.pending.size() >= queueLimit_;
        AVFrame* picture = w.pending.front();
        w.pending.pop_front();
        lock.unlock();
        // Only a sender held up by this worker's full queue waits for room.
        if (full) room_.notify_all();

        const bool last = picture == nullptr;
        int res = avcodec_send_frame(w.context, picture);
        av_frame_free(&picture);
        if (res < 0) {
            Fail("the encoder refused a frame (" + std::to_string(res) + ")");
            break;
        }
        while ((res = avcodec_receive_packet(w.context, packet)) >= 0) {
            AVPacket* done = av_packet_alloc();
            av_packet_move_ref(done, packet);
            // Without B-frames packets come out in the order frames went in;
            // the sender collects them when it next calls, nobody waits.
            std::lock_guard guard(mutex_);
            done_[w.numbers.front()] = done;
            w.numbers.pop_front();
        }
        if (res != AVERROR(EAGAIN) && res != AVERROR_EOF) {
            Fail("the encoder failed (" + std::to_string(res) + ")");
            break;
        }
        if (last) break;
    }
    av_packet_free(&packet);
}

} // namespace media
