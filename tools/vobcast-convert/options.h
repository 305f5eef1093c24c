// vobcast-convert's command line: what it reads, and the one text that is both
// its --help and its manual page.
#pragma once

#include <string>
#include <vector>

namespace vobcast::cli {

struct Options {
    std::vector<std::string> inputs;  // VOB files and folders, as given
    std::string outputDir = ".";
    std::string compressor;  // by description; empty for the first installed one
    long keyFrames = 0;      // 0: the chooser's default
    long bitrateKbps = 0;    // 0: the chooser's default
    long jobs = 1;
    bool overwrite = false;
    bool quiet = false;
    bool listCompressors = false;
    // DVD titles: the inputs are discs (mount points, VIDEO_TS folders, ISO
    // images) and each chosen title becomes one AVI.
    bool listTitles = false;
    std::vector<long> titles;  // --title, as given
    bool mainTitle = false;
    bool allTitles = false;
    long angle = 0;  // 1-based; 0 for the first
    std::string audioLanguage;  // ISO 639-1; empty for the first AC-3 track
    long audioTrack = 0;        // 1-based; 0 for the first AC-3 track
    // Subtitles drawn into the pictures: by language (titles) or by track
    // (1-based); none when neither is given.
    std::string subtitleLanguage;
    long subtitleTrack = 0;
    bool forcedSubtitles = false;  // only the subpictures the disc marks forced
    // How pictures whose fields come from two instants are made progressive,
    // as the engine's VobcastChoosePictures takes it: deinterlace 0 auto,
    // 1 always, 2 never; detelecine 0 auto, 1 never.
    long deinterlace = 0;
    // Two passes to a file size instead of a data rate; 0 for one pass.
    double sizeMB = 0;
    // The pictures' edges cut: found from the source, or as given (even
    // numbers); none by default.
    bool cropAuto = false;
    long crop[4] = {0, 0, 0, 0};  // top, bottom, left, right
    long detelecine = 0;
    bool help = false;
    bool manPage = false;
    // Internal: convert inputs[0] into inputs[1] in this process, reporting
    // progress on standard output for the process that started it; title and
    // audioStream say what to read there, as the engine's host takes them.
    bool worker = false;
    long title = 0;
    long audioStream = -1;
    long subtitleStream = -1;  // DVD subpicture stream number; -1 none

    bool ByTitle() const { return !titles.empty() || mainTitle || allTitles; }
};

// Reads the command line; on a mistake returns false with the reason in error.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

std::string Usage();

// The manual page, in roff, made from the same text as Usage().
std::string ManPage();

} // namespace vobcast::cli
