// DVD titles on the command line: what --list-titles prints, and the jobs that
// --title, --main-title and --all-titles make of a disc.
#pragma once

#include "engine_binding.h"
#include "jobs.h"
#include "options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vobcast::cli {

// Prints each input disc's titles; 0, or 1 when a disc can't be read (said on err).
int ListTitles(EngineBinding& engine, const std::vector<std::string>& inputs, std::ostream& out, std::ostream& err);

// The titles options choose on each input disc, each a job named
// "<disc> title NN" with the AC-3 stream the audio options pick; an input
// that is not a readable DVD, a title it lacks or an audio track it lacks is a
// job with a problem (naming what there is instead).
std::vector<Job> TitleJobs(EngineBinding& engine, const Options& options);

// The subpicture stream the subtitle options pick for a VOB file job: by the
// languages of its title set's IFO beside it for --subtitle-lang (and for
// --forced-subtitles without a track), else the track given (-1 none);
// problem set when the language is not there or nothing names languages.
int FileSubtitles(EngineBinding& engine, const Job& job, const Options& options, std::string& problem);

} // namespace vobcast::cli
