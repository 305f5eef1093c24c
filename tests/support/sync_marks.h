// Where the marks of the sync test media (a white frame, a 1 kHz beep) fall
// in a file, as two different readers time them: libavformat (ffmpeg's, and
// most players'), and GStreamer.
#pragma once

#include <string>
#include <vector>

namespace testing_media {

struct Marks {
    bool ok = false;
    std::string error;
    std::vector<double> flashes;  // seconds: the first bright frame of each flash
    std::vector<double> beeps;    // seconds: the onset of each beep
    double videoEnd = 0;          // end of the last frame
    double audioEnd = 0;          // end of the last sample
    double beepPeak = 0;          // the loudest sample of the first channel, 0..1
    int videoFrames = 0;
    int audioChannels = 0;
};

// Reads with ffmpeg (libavformat and libavcodec), timestamps as it gives them.
Marks MarksByLibav(const std::string& path);
// Reads with GStreamer's decodebin.
Marks MarksByGStreamer(const std::string& path);

// The largest distance from a beep to its nearest flash, in seconds; every
// beep has to have one within a second.
double MaxOffset(const Marks& marks);

// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& command, int* status = nullptr);

// The loudness (dB) of path's sound in a band 60 Hz wide around hz, as
// libavformat decodes it, over the whole file or the stretch window selects
// ("-ss 2.5 -t 2"); -200 when it can't be read.
double BandLevel(const std::string& path, int hz, const std::string& window = "");

} // namespace testing_media
