// What the splitter learnt from probing its input, for the multiplexer's
// seeking interface before the graph runs.
#pragma once

#include "platform/media/source/program_source.h"

#include "platform/com/unknown.h"

#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace media {

class ISplitterInfo : public virtual com::Unknown {
public:
    // The stream's duration in nanoseconds, -1 when unknown or not probed yet.
    virtual std::int64_t DurationNs() const = 0;
    // Whether the video is film carried with 3:2 repeat-field flags.
    virtual bool Film() const = 0;
    // The libavfilter graph that makes the pictures progressive, "" when they are.
    virtual std::string FieldFilters() const = 0;
    // What to cut from the pictures' edges.
    virtual Crop PictureCrop() const = 0;

    // The subtitles chosen to be drawn into the pictures, and where their
    // colours come from.
    struct Subtitles {
        bool chosen = false;
        bool forcedOnly = false;
        std::string palette;  // the title's colours, as the overlay's "palette" takes them
        std::string ifo;      // or the IFO file to read them from; neither: the decoder's own
    };
    virtual Subtitles ChosenSubtitles() const = 0;
    // Sends the chosen subpicture stream to sink (a pad of another filter's
    // bin) once the demultiplexer finds it.
    virtual void SendSubpicturesTo(GstPad* sink) = 0;
};

} // namespace media
