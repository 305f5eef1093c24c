// A batch of conversions: each file in a worker process of its own, up to
// --jobs at once, with progress lines, a summary, and Ctrl-C that keeps what
// is done and finalises what is under way.
#pragma once

#include "options.h"

#include <iosfwd>
#include <string>

namespace vobcast::cli {

// self is this program's path, started again as a worker for each file.
// terminal says whether out is a terminal (progress lines are redrawn).
// Returns 0 when every file converted, 1 when some did not, 2 when nothing
// could start (bad output folder or compressor), 130 when interrupted.
int RunBatch(const Options& options, const std::string& self, bool terminal, std::ostream& out, std::ostream& err);

} // namespace vobcast::cli
