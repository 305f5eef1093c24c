// What real discs carry, converted by vobcast-convert, by ffmpeg and by
// HandBrake (where handbrake-cli is installed; both are measuring tools):
// interlaced video, film pulled down into fields, film then video, a still
// over its sound, stills seconds apart, MPEG-1 Layer II, LPCM, AC-3 beside DTS.
//
//   real-discs [--work DIR]
//
// The sources are the test media (tests/support/make_test_media.sh), made once
// into DIR/media. For each output it prints the frames and their rate, the
// share of pictures that still show the comb of two fields (ffmpeg's idet,
// single-picture detection), the largest distance from a beep to its flash
// (libavformat), how long picture and sound last, and the wall time.
#include "measure.h"

#include "platform/kernel/module_folder.h"
#include "sync_marks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Capture;
using bench::Quoted;

struct Output {
    int frames = 0;
    std::string rate;
    double combed = 0;  // share
    double offsetMs = -1;
    double video = 0, audio = 0;  // seconds
};

Output Read(const fs::path& file) {
    Output o;
    const std::string probe = Capture("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                      "stream=nb_read_frames,r_frame_rate -of csv=p=0 " + Quoted(file));
    char rate[32] = {};
    std::sscanf(probe.c_str(), "%31[^,],%d", rate, &o.frames);
    o.rate = rate;
    const std::string idet = Capture("ffmpeg -nostdin -i " + Quoted(file) + " -an -vf idet -f null - 2>&1");
    std::smatch m;
    if (std::regex_search(idet, m, std::regex(R"(Single frame detection: TFF: *(\d+) BFF: *(\d+) Progressive: *(\d+) Undetermined: *(\d+))"))) {
        const double combed = std::stod(m[1]) + std::stod(m[2]);
        const double all = combed + std::stod(m[3]) + std::stod(m[4]);
        o.combed = all > 0 ? combed / all : 0;
    }
    const testing_media::Marks marks = testing_media::MarksByLibav(file.string());
    if (marks.ok) {
        o.offsetMs = marks.beeps.empty() ? 0 : testing_media::MaxOffset(marks) * 1000;
        o.video = marks.videoEnd;
        o.audio = marks.audioEnd;
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    fs::path work = "real-discs-work";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--work") && i + 1 < argc) {
            work = argv[++i];
        } else {
            std::fprintf(stderr, "usage: real-discs [--work DIR]\n");
            return 2;
        }
    }
    const fs::path media = work / "media";
    if (std::system(("bash " MEDIA_SCRIPT " " + Quoted(media) + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "real-discs: the media could not be made\n");
        return 1;
    }
    const bool handbrake = !Capture("command -v HandBrakeCLI").empty();
    const fs::path ours = fs::path(kernel::ExecutableFolder()) / "vobcast-convert";
    const fs::path log = work / "runs.log";
    struct Tool {
        const char* label;
        const char* extension;
        std::string (*command)(const fs::path& ours, const fs::path& in, const fs::path& out);
    };
    const Tool tools[] = {
        {"vobcast", "avi",
         [](const fs::path& o, const fs::path& in, const fs::path& out) {
             return Quoted(o) + " -q --overwrite -o " + Quoted(out.parent_path()) + " " + Quoted(in);
         }},
        {"ffmpeg", "avi",
         [](const fs::path&, const fs::path& in, const fs::path& out) {
             return "ffmpeg -nostdin -loglevel error -y -i " + Quoted(in) +
                    " -c:v mpeg4 -vtag DX50 -b:v 1800k -c:a wmav2 -ac 2 " + Quoted(out);
         }},
        {"HandBrake", "mkv",
         [](const fs::path&, const fs::path& in, const fs::path& out) {
             return "HandBrakeCLI -i " + Quoted(in) + " -o " + Quoted(out) +
                    " -e mpeg4 -b 1800 --comb-detect --decomb --detelecine";
         }},
    };
    const char* sources[] = {"interlaced.vob", "telecine.vob", "film-video.vob", "still.vob",
                             "stills.vob",     "pal-mp2.vob",  "lpcm.vob",       "ac3-dts.vob"};
    std::printf("| source | tool | frames | rate | combed | A/V ms | picture s | sound s | wall s |\n");
    std::printf("|---|---|---:|---|---:|---:|---:|---:|---:|\n");
    for (const char* source : sources) {
        for (const Tool& tool : tools) {
            if (!std::strcmp(tool.label, "HandBrake") && !handbrake) continue;
            const fs::path dir = work / tool.label;
            fs::create_directories(dir);
            const fs::path out = dir / (fs::path(source).stem().string() + "." + tool.extension);
            fs::remove(out);
            const bench::Sample s = bench::Measure({"sh", "-c", tool.command(ours, media / source, out)}, log);
            if (s.status != 0 || !fs::exists(out)) {
                std::printf("| %s | %s | failed (%d) | | | | | | %.2f |\n", source, tool.label, s.status, s.wall);
                continue;
            }
            const Output o = Read(out);
            std::printf("| %s | %s | %d | %s | %.1f %% | %.0f | %.2f | %.2f | %.2f |\n", source, tool.label, o.frames,
                        o.rate.c_str(), o.combed * 100, o.offsetMs, o.video, o.audio, s.wall);
            std::fflush(stdout);
        }
    }
    return 0;
}
