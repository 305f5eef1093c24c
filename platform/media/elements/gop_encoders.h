// Video encoding by libavcodec on several threads at once, a whole GOP each.
//
// Each worker owns an encoder of its own, opened with the same settings, and
// takes every n-th GOP: the first frame of a GOP is coded as a key frame and
// needs nothing before it, so the workers never wait for one another and the
// packets, put back in frame order, form one valid stream. A worker holds at
// most half a GOP of pictures waiting (two with one worker); the caller is held
// up beyond that.
#pragma once

#include "platform/media/elements/rate_plan.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace media {

struct GopSettings {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    AVRational frameRate{25, 1};
    AVRational aspect{1, 1};
    std::int64_t bitRate = 0;  // bit/s
    int gopSize = 1;           // a key frame at least every this many frames
    int workers = 1;
    // Two passes to a size (rate_plan.h), instead of the data rate: the first
    // fills measure and codes one GOP (of kMeasureWindow pictures) in
    // kMeasureEvery;
    // the second takes each picture's quantiser from budget. Used by the
    // caller's thread only, and outlive the encoders.
    PictureCosts* measure = nullptr;
    double measureBitsPerPicture = 0;  // what the second pass will aim at, 0 when not known
    SizeBudget* budget = nullptr;
};

class GopEncoders {
public:
    // Opens settings.workers encoders and starts their threads; null with a
    // reason in error when libavcodec refuses the settings.
    static std::unique_ptr<GopEncoders> Open(const GopSettings& settings, std::string& error);
    ~GopEncoders();
    GopEncoders(const GopEncoders&) = delete;
    GopEncoders& operator=(const GopEncoders&) = delete;

    // Hands over the next picture (this takes it); forceKey codes it as a key
    // frame. Waits while its worker already holds as many pictures as it may.
    // False once an encoder has failed.
    bool Send(AVFrame* picture, bool forceKey);
    // The packet of the next frame in order, when it is ready; the caller owns
    // it. A frame the first pass passed over has an empty packet, flagged
    // AV_PKT_FLAG_DISCARD.
    AVPacket* Receive();
    // Codes what the workers still hold and stops them; Receive then gives
    // every remaining packet. False if an encoder failed.
    bool Drain();
    std::string Error() const;

private:
    struct Worker {
        AVCodecContext* context = nullptr;
        std::deque<AVFrame*> pending;       // null: end of stream
        std::deque<std::int64_t> numbers;  // of the frames sent and not yet coded
        std::int64_t sent = 0;
        std::condition_variable ready;  // pending is no longer empty, or the work stops
        std::thread thread;
    };

    explicit GopEncoders(const GopSettings& settings);
    void Run(Worker& worker);
    // The first pass counts a picture it does not code.
    bool PassOver(AVFrame* picture, std::int64_t number);
    void Fail(const std::string& why);
    void Stop();
    void WakeAll();  // with mutex_ held

    const GopSettings settings_;
    std::size_t queueLimit_;  // pictures a worker may hold waiting
    std::vector<std::unique_ptr<Worker>> workers_;
    // Each thread is woken only for what it waits for: a worker for a picture,
    // the sender for room in a worker's queue.
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::map<std::int64_t, AVPacket*> done_;  // by frame number
    std::int64_t sent_ = 0;
    double measureQuantiser_ = kMeasureQuantiser;  // of the window being sent
    std::int64_t next_ = 0;
    bool stopping_ = false;
    std::string error_;
};

} // namespace media
