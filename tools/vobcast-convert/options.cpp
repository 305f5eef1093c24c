#include "options.h"

#include "vobcast/vobcast_host.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <sstream>

#define VOBCAST_TEXT_OF(x) #x
#define VOBCAST_TEXT(x) VOBCAST_TEXT_OF(x)

namespace vobcast::cli {
namespace {

struct OptionText {
    const char* shortName;  // "" when there is none
    const char* longName;
    const char* value;      // "" for a switch
    const char* help;
};

constexpr OptionText kOptions[] = {
    {"-o", "--output-dir", "DIR", "write the AVI files into DIR (default: the current folder)"},
    {"", "--compressor", "NAME", "video compressor, by description (default: the first installed)"},
    {"", "--list-compressors", "", "print the installed video compressors and exit"},
    {"", "--list-titles", "", "print the titles of each DVD INPUT (length, chapters, audio and subtitle tracks) and exit"},
    {"", "--title", "N", "convert title N of each DVD INPUT into one AVI (may be given more than once)"},
    {"", "--main-title", "",
     "convert the main title of each DVD INPUT: the one the disc plays for Play (First Play followed through its "
     "menus' default buttons), else the longest that repeats no other title's cells"},
    {"", "--angle", "N", "of a title with angles, convert angle N (default: the first)"},
    {"", "--all-titles", "", "convert every title of each DVD INPUT, one AVI each"},
    {"", "--audio-lang", "CODE", "take the track in language CODE (ISO 639-1, e.g. de) of each title, its AC-3 one where it has several"},
    {"", "--audio-track", "N", "take audio track N, of any format: AC-3, MPEG, LPCM or DTS (default: the first AC-3 track, else the first MPEG or LPCM track)"},
    {"", "--subtitle-lang", "CODE",
     "draw the subtitles in language CODE (ISO 639-1) of each title, or of a VOB file's title set (its IFO file "
     "beside it), into the pictures"},
    {"", "--subtitle-track", "N",
     "draw subtitle track N into the pictures; for a VOB file, its subpicture stream N, coloured from the title "
     "set's IFO file beside it"},
    {"", "--forced-subtitles", "",
     "draw only the subtitles the disc marks forced (the foreign-language scenes), from the track chosen, or else "
     "from the track in the audio's language"},
    {"", "--deinterlace", "MODE",
     "auto: deinterlace (bwdif, motion-adaptive) only the pictures that show the comb of two fields from different "
     "instants, found per picture where the source is coded interlaced; always: every picture; never: none "
     "(default: auto)"},
    {"", "--detelecine", "MODE",
     "auto: film pulled down 3:2 into interlaced frames gets its frames back (fields matched, repeats dropped: "
     "23.976 frames a second where the whole source is film, 29.97 where film and video alternate); never: leave it "
     "(default: auto)"},
    {"", "--bitrate", "KBPS", "video data rate in kbit/s (default: " VOBCAST_TEXT(VOBCAST_DEFAULT_DATA_RATE_KBPS) ")"},
    {"", "--size", "MB",
     "code in two passes to AVI files of MB megabytes (10^6 bytes) each, sound, headers and index included: the "
     "first pass measures how hard each part of the source is to code, the second spends the size over it at one "
     "quality; MPEG-4 compressors only, instead of --bitrate"},
    {"", "--crop", "auto|T:B:L:R",
     "cut the pictures' edges: auto finds the black bars of a letterboxed film from 24 places spread over each "
     "source; T:B:L:R cuts that many rows from the top and bottom and columns from the left and right (even "
     "numbers). The picture keeps its shape (a 2.35:1 film stays 2.35:1). Default: the whole picture"},
    {"", "--keyint", "N", "a key frame at least every N frames (default: " VOBCAST_TEXT(VOBCAST_DEFAULT_KEY_FRAMES) ")"},
    {"-j", "--jobs", "N", "convert N files at once, each in a process of its own (default: 1)"},
    {"", "--overwrite", "", "replace AVI files that already exist (default: refuse, and skip the file)"},
    {"-q", "--quiet", "", "print only errors and the summary"},
    {"-h", "--help", "", "show this help and exit"},
};

constexpr const char* kName = "vobcast-convert";
constexpr const char* kSummary = "convert DVD video files (VOB) into AVI files";
constexpr const char* kSynopsis = "[OPTION]... INPUT...";
constexpr const char* kDescription =
    "Converts each INPUT into an AVI file: the MPEG-2 video re-encoded with a video compressor of your "
    "choice (DivX-compatible MPEG-4 by default), the sound (AC-3, MPEG audio, LPCM or DTS) as Windows Media "
    "Audio V2. An INPUT is a "
    "VOB file, or a folder: every VOB file below it, in name order, whatever the letter case of its "
    "extension. A DVD's VIDEO_TS folder gives its title files; the menus (VIDEO_TS.VOB and every title set's "
    "VTS_nn_0.VOB) are left out. Each AVI file is named after its source, with the extension "
    "\"avi\"; a name that two sources share gets a number, as in \"VTS_01_1 (2).avi\". A file is written under a temporary "
    "name and takes its own only when it is complete. "
    "With --title, --main-title or --all-titles an INPUT is a DVD instead: its mount point, its VIDEO_TS folder "
    "or an ISO image file. Each chosen title becomes one AVI holding exactly the title's cells in play order, "
    "across its VOB files, named after the disc's volume label (or the folder or image) and the title, as in "
    "\"MY_FILM title 01.avi\".";
constexpr const char* kProgress =
    "On a terminal each file being converted has a progress line (percent, speed as a multiple of real "
    "time, time left); otherwise a plain line is printed every 10 percent. Ctrl-C (or SIGTERM) stops: the file being "
    "converted is finalised and kept, playable up to where it stopped, and the rest are not started. A "
    "conversion that can't be finished within seconds (nothing moves in it) keeps what it wrote under its "
    "temporary name; a second Ctrl-C ends the conversions under way at once, keeping the same.";
constexpr const char* kExitStatus =
    "0 when every file (or title) converted; 1 when some did not (they are named, with the cause); 2 for a usage "
    "mistake or an output folder that cannot be written; 130 when interrupted.";

bool ParseCount(const std::string& text, long& value) {
    try {
        std::size_t used = 0;
        value = std::stol(text, &used);
        return used == text.size() && value > 0;
    } catch (...) {
        return false;
    }
}

std::string Wrap(const std::string& text, std::size_t width, const std::string& indent) {
    std::istringstream words(text);
    std::string word;
    std::string out;
    std::size_t column = 0;
    while (words >> word) {
        if (column > 0 && column + 1 + word.size() > width) {
            out += "\n";
            column = 0;
        }
        if (column == 0) {
            out += indent;
            column = indent.size();
        } else {
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out + "\n";
}

std::string Spelling(const OptionText& o) {
    std::string s = o.shortName[0] ? std::string(o.shortName) + ", " : "    ";
    s += o.longName;
    if (o.value[0]) s += std::string(" ") + o.value;
    return s;
}

std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '-' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::string Usage() {
    std::string text = std::string("Usage: ") + kName + " " + kSynopsis + "\n" + Wrap(kDescription, 78, "") + "\n";
    for (const OptionText& o : kOptions) {
        std::string line = "  " + Spelling(o);
        line.resize(std::max<std::size_t>(line.size() + 2, 28), ' ');
        text += line + o.help + "\n";
    }
    text += "\n" + Wrap(kProgress, 78, "") + "\n" + Wrap(std::string("Exit status: ") + kExitStatus, 78, "");
    return text;
}

std::string ManPage() {
    std::string page = std::string(".TH VOBCAST-CONVERT 1 \"\" \"vobcast\" \"User Commands\"\n.SH NAME\n") + Roff(kName) +
                       " \\- " + kSummary + "\n.SH SYNOPSIS\n.B " + Roff(kName) + "\n" + Roff(kSynopsis) +
                       "\n.SH DESCRIPTION\n" + Roff(kDescription) + "\n.SH OPTIONS\n";
    for (const OptionText& o : kOptions) {
        page += ".TP\n.B " + Roff(Spelling(o).substr(o.shortName[0] ? 0 : 4)) + "\n" + Roff(o.help) + "\n";
    }
    page += ".SH PROGRESS\n" + Roff(kProgress) + "\n.SH EXIT STATUS\n" + Roff(kExitStatus) + "\n";
    page += ".SH SEE ALSO\n.BR marbleway (1)\n";
    return page;
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool files_only = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (files_only || a == "-" || a.empty() || a[0] != '-') {
            o.inputs.push_back(a);
            continue;
        }
        // "--name=value" is read as "--name value".
        std::string name = a;
        std::string inline_value;
        bool has_inline = false;
        if (const auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
            name = a.substr(0, eq);
            inline_value = a.substr(eq + 1);
            has_inline = true;
        }
        const auto value = [&](std::string& into) {
            if (has_inline) {
                into = inline_value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        const auto count = [&](long& into) {
            std::string v;
            if (!value(v)) return false;
            if (!ParseCount(v, into)) {
                error = name + " takes a positive whole number, not \"" + v + "\"";
                return false;
            }
            return true;
        };
        // A two-letter ISO 639-1 code, in lower case.
        const auto language = [&](std::string& into) {
            if (!value(into)) return false;
            if (into.size() != 2 || !std::isalpha(static_cast<unsigned char>(into[0])) ||
                !std::isalpha(static_cast<unsigned char>(into[1]))) {
                error = name + " takes a two-letter ISO 639-1 code such as en or de, not \"" + into + "\"";
                return false;
            }
            for (char& c : into) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return true;
        };
        // A track number, 1 to most.
        const auto track = [&](long& into, long most, const char* kind) {
            if (!count(into)) return false;
            if (into <= most) return true;
            error = name + " takes 1 to " + std::to_string(most) + ": a DVD has at most " + std::to_string(most) + " " +
                    kind + " tracks";
            return false;
        };
        if (name == "--") {
            files_only = true;
        } else if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "--man-page") {
            o.manPage = true;
        } else if (name == "--worker") {
            o.worker = true;
        } else if (name == "--list-titles") {
            o.listTitles = true;
        } else if (name == "--main-title") {
            o.mainTitle = true;
        } else if (name == "--all-titles") {
            o.allTitles = true;
        } else if (name == "--title") {
            long title = 0;
            if (!count(title)) return false;
            o.titles.push_back(title);
        } else if (name == "--deinterlace" || name == "--detelecine") {
            std::string v;
            if (!value(v)) return false;
            const bool deinterlace = name == "--deinterlace";
            static const char* const kModes[] = {"auto", "always", "never"};
            long mode = -1;
            for (long m = 0; m < 3; ++m)
                if (v == kModes[m] && (deinterlace || m != 1)) mode = m;
            if (mode < 0) {
                error = name + (deinterlace ? " takes auto, always or never" : " takes auto or never") + ", not "" + v + """;
                return false;
            }
            if (deinterlace) o.deinterlace = mode;
            else o.detelecine = mode == 0 ? 0 : 1;
        } else if (name == "--audio-lang") {
            if (!language(o.audioLanguage)) return false;
        } else if (name == "--subtitle-lang") {
            if (!language(o.subtitleLanguage)) return false;
        } else if (name == "--subtitle-track") {
            if (!track(o.subtitleTrack, 32, "subtitle")) return false;
        } else if (name == "--forced-subtitles") {
            o.forcedSubtitles = true;
        } else if (name == "--worker-subtitle-stream") {
            std::string v;
            if (!value(v)) return false;
            o.subtitleStream = std::atol(v.c_str());
        } else if (name == "--audio-track") {
            if (!track(o.audioTrack, 8, "audio")) return false;
        } else if (name == "--angle") {
            if (!count(o.angle)) return false;
            if (o.angle > 9) {
                error = "--angle takes 1 to 9: a DVD title has at most 9 angles";
                return false;
            }
        } else if (name == "--worker-title") {
            if (!count(o.title)) return false;
        } else if (name == "--worker-audio-stream") {
            std::string v;
            if (!value(v)) return false;
            o.audioStream = std::atol(v.c_str());
        } else if (name == "--list-compressors") {
            o.listCompressors = true;
        } else if (name == "--overwrite") {
            o.overwrite = true;
        } else if (name == "-q" || name == "--quiet") {
            o.quiet = true;
        } else if (name == "-o" || name == "--output-dir") {
            if (!value(o.outputDir)) return false;
        } else if (name == "--compressor") {
            if (!value(o.compressor)) return false;
        } else if (name == "--bitrate") {
            if (!count(o.bitrateKbps)) return false;
        } else if (name == "--size") {
            std::string v;
            if (!value(v)) return false;
            char* end = nullptr;
            o.sizeMB = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(o.sizeMB > 0) || o.sizeMB > 1e7) {
                error = "--size takes a size in megabytes such as 700, not \"" + v + "\"";
                return false;
            }
        } else if (name == "--crop") {
            std::string v;
            if (!value(v)) return false;
            o.cropAuto = v == "auto";
            char extra = 0;
            if (!o.cropAuto &&
                (std::sscanf(v.c_str(), "%ld:%ld:%ld:%ld%c", &o.crop[0], &o.crop[1], &o.crop[2], &o.crop[3], &extra) != 4 ||
                 std::any_of(std::begin(o.crop), std::end(o.crop), [](long e) { return e < 0 || e % 2 != 0 || e > 4096; }))) {
                error = "--crop takes auto, or T:B:L:R in even numbers of rows and columns such as 60:60:0:0, not \"" +
                        v + "\"";
                return false;
            }
        } else if (name == "--keyint") {
            if (!count(o.keyFrames)) return false;
        } else if (name == "-j" || name == "--jobs") {
            if (!count(o.jobs)) return false;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (o.help || o.manPage || o.listCompressors) return true;
    if (!o.audioLanguage.empty() && o.audioTrack > 0) {
        error = "--audio-lang and --audio-track both choose the audio track; give one";
        return false;
    }
    if (o.sizeMB > 0 && o.bitrateKbps > 0) {
        error = "--size and --bitrate both set how much the video takes; give one";
        return false;
    }
    if (!o.subtitleLanguage.empty() && o.subtitleTrack > 0) {
        error = "--subtitle-lang and --subtitle-track both choose the subtitles; give one";
        return false;
    }
    if (o.listTitles && o.inputs.empty()) {
        error = "--list-titles needs a DVD: its mount point, its VIDEO_TS folder or an ISO image file";
        return false;
    }
    if (!o.audioLanguage.empty() && !o.ByTitle() && !o.listTitles) {
        error = "--audio-lang reads the languages of a DVD's titles: add --title N, --main-title or --all-titles "
                "(a VOB file names no languages; --audio-track N takes its N-th track)";
        return false;
    }
    if (o.worker && o.inputs.size() != 2) {
        error = "--worker takes one source and one destination";
        return false;
    }
    if (o.inputs.empty()) {
        error = "give at least one VOB file or folder";
        return false;
    }
    if (o.outputDir.empty()) {
        error = "--output-dir needs a folder";
        return false;
    }
    return true;
}

} // namespace vobcast::cli
