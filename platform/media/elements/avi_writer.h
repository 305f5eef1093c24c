// "vobcastavimux": an AVI file written by libavformat's AVI muxer, as a
// GStreamer element registered within this process. It takes one stream a
// request pad ("video_%u", "audio_%u"), writes them interleaved by running
// time, and pushes the file's bytes downstream; where the muxer goes back to
// fill in a header or an index, a segment in bytes tells the sink where the
// next bytes belong (filesink seeks there). Stream headers, the index, the
// OpenDML parts of a file past 1 GB and the WMA stream format all come from
// libavformat.
#pragma once

namespace media {

inline constexpr const char* kAviWriterName = "vobcastavimux";

// Registers the element when libavformat has its AVI muxer. Safe to call often.
void RegisterAviWriter();

} // namespace media
