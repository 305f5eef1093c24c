// What the splitter learnt from probing its input, for the multiplexer's
// seeking interface before the graph runs.
#pragma once

#include "platform/media/source/program_source.h"

#include "platform/com/unknown.h"

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
};

} // namespace media
