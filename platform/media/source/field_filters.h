// Progressive pictures from interlaced and telecined sources: which of the
// field filters (fields/fields_module.h) a source needs, judged from its
// pictures, and the element that applies them.
#pragma once

#include "platform/media/source/program_source.h"

#include <gst/gst.h>

#include <string>

namespace media {

// What the pictures of a source need.
enum class FieldWork {
    None,         // progressive pictures pass untouched
    Deinterlace,  // each picture that shows combing is deinterlaced (all, when asked)
    Interlaced,   // interlaced throughout: every picture is deinterlaced
    Match,        // film sections have their fields matched back into frames, the rest deinterlaced
    Restore,      // film throughout: fields matched, the repeated frames dropped, 24000/1001
};

// Looks at the source's pictures where it needs to: a source whose pictures
// are all coded progressive needs nothing (unless deinterlacing is asked for
// always); otherwise pictures decoded at a few places across it tell
// interlaced video, film pulled down into fields, or both. Video interlaced
// wherever it is looked at has every picture deinterlaced: a detector that
// judges a picture by the ones before it lags behind a cut (four pictures
// still combed after a cut from a still scene), and motion-adaptive
// deinterlacing leaves what stands still as it is.
// interlacedSamples: of the pack scan's samples, how many hold pictures coded
// as interlaced.
FieldWork JudgeFields(const ProgramSource& source, int interlacedSamples, FieldChoice choice);

// The libavfilter graph for work ("" for none).
std::string FieldFilters(FieldWork work, FieldChoice choice);

// The element that puts pictures through filters (floating); null for no
// filters or when the field filters can't be loaded (the reason goes to the
// debug log).
GstElement* MakeFieldElement(const std::string& filters);

} // namespace media
