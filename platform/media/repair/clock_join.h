// One continuous timeline out of a program stream whose clock starts again
// part-way (the cells of a DVD title made apart, two titles in one VOB).
//
// mpegpsdemux carries its timestamps on across a restart by the pack clock,
// which leaves every stream with a pause of about the multiplexer's lead
// (half a second) at each join. The join takes it out again, by the same
// amount in every stream so that what played together still does: the pause
// the video shows (its first new picture against where its last one ended),
// or, until the video has reached the join, the audio's.
//
// It also starts the timeline at the first timestamp: a demuxer fed by a push
// source (a DVD title's reader) opens its segment at 0, before the first picture.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace media {

class ClockJoin {
public:
    // firstNs: the stream's first timestamp, as the probe found it (-1 when
    // unknown); joinRestarts: whether the clock starts again somewhere.
    ClockJoin(std::int64_t firstNs, bool joinRestarts);
    ~ClockJoin();
    ClockJoin(const ClockJoin&) = delete;
    ClockJoin& operator=(const ClockJoin&) = delete;

    // Retimes what flows out of the demuxer's pad; video pads lead the joins.
    void Watch(GstPad* pad, bool video);
    // Retimes a stream with long silences (subpictures), whose own pauses
    // say nothing of restarts, by the joins the watched streams find.
    void Follow(GstPad* pad);

    struct State;

private:
    void Add(GstPad* pad, bool video, bool sparse);
    std::shared_ptr<State> state_;
};

} // namespace media
