// One conversion in this process, through the engine's five functions, with
// the compressor chosen without a dialog. The engine holds one conversion per
// process, so a batch runs each file in a worker process of its own.
#pragma once

#include "options.h"

#include "engine_binding.h"

#include <iosfwd>
#include <string>

namespace vobcast::cli {

// Converts source (a file, or options.title of the DVD there) into
// destination. Reports on out, one line each:
//   "duration SECONDS"   the source's length, once, when it is known
//   "progress PERCENT"   whenever the engine's position changes
//   "cause TEXT"         after a failure, what a user can act on, where it is known
// and the engine's messages on err. Returns 0 when the AVI was written, 1 when
// the engine reported a failure, 2 when it can't be asked, 130 when interrupted by SIGINT or SIGTERM
// (the AVI written so far is finalised), kStoppedUnfinished when interrupted and
// the engine could not finish the file (what it wrote stays, without its index).
inline constexpr int kStoppedUnfinished = 131;
int ConvertOne(const Options& options, const std::string& source, const std::string& destination, std::ostream& out,
               std::ostream& err);

// Why a conversion failed, in words a user can act on ("has no AC-3 audio
// (found: no audio)", "the disk is full"); empty when the source and
// the engine's messages tell nothing more.
std::string PlainCause(const VobcastSourceInfo& info, const std::string& messages);

// Prints the installed compressors; 0, or 1 when the engine can't be loaded.
int ListCompressors(EngineBinding& engine, std::ostream& out, std::ostream& err);

// The index of the compressor options name among the installed ones; -1 and a
// message naming the installed ones when there is none of that name (or why
// the engine can't be loaded).
int ChooseCompressor(EngineBinding& engine, const Options& options, std::ostream& err);

} // namespace vobcast::cli
