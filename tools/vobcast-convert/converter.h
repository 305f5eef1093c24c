// The command-line converter: one VOB file into one AVI file through the
// engine's five functions, with the compressor chosen without a dialog.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vobcast::cli {

struct Options {
    std::string source;
    std::string destination;
    std::string compressor;  // by description; empty for the first installed one
    long keyFrames = 0;      // 0: the chooser's default
    long bitrateKbps = 0;    // 0: the chooser's default
    bool listCompressors = false;
    bool help = false;
};

// Reads the command line; on a mistake returns false with the reason in error.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

std::string Usage();

// Runs what the options ask for and returns the exit status: 0 when the AVI was
// written, 1 when the engine reported a failure, 2 for bad usage, 130 when
// interrupted (the AVI written so far is finalised and kept).
int Run(const Options& options, std::ostream& out, std::ostream& err);

} // namespace vobcast::cli
