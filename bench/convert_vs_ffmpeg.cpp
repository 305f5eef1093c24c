// Speed, memory and quality of vobcast-convert against ffmpeg on the same
// NTSC DVD-style sources at the same settings.
//
//   convert-vs-ffmpeg [--runs N] [--work DIR] [--only-short] [--no-flat] [--no-psnr] [--no-disc] [--no-title]
//
// Makes a 60-second and a 10-minute source with film-like grain, the same
// without it, and a disc folder of three 2-minute title VOBs (MPEG-2 at about
// 6 Mbit/s, AC-3 at 448 kbit/s, 720x480 at 29.97 frames a second, marked with
// a flash and a beep every 2 s) once; the 10-minute grain source is also
// authored into a DVD title (dvdauthor), converted as a title and as a file.
// Converts each source with both tools N times, and the disc with
// vobcast-convert -j 2 beside ffmpeg on one title after another and ffmpeg on
// two at once. Prints the medians of wall time, CPU time and peak memory, the
// sizes, the PSNR of each output against its source, how far each output's
// sound strays from its picture, and the ratios ours / theirs. Exits 1 when one
// of our outputs is out of sync.
#include "measure.h"

#include "platform/kernel/module_folder.h"
#include "sync_marks.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Capture;
using bench::Measure;
using bench::Median;
using bench::Quoted;
using bench::Sample;

// The average PSNR of frames paired by their number, the output's frame i with
// the source's frame i + offset, over count frames (all when count is 0).
double PsnrAt(const fs::path& output, const fs::path& source, int offset, int count) {
    const auto trim = [count](int first) {
        std::string t = "trim=start_frame=" + std::to_string(first);
        if (count > 0) t += ":end_frame=" + std::to_string(first + count);
        return t + ",setpts=N/(30*TB)";
    };
    const std::string graph = "[0:v]" + trim(std::max(0, -offset)) + "[a];[1:v]" + trim(std::max(0, offset)) +
                              "[b];[a][b]psnr=shortest=1";
    // A short comparison reads only the start of both files.
    const std::string head = count > 0 ? "-t " + std::to_string(count / 20 + 2) + " " : "";
    const std::string text = Capture("ffmpeg -hide_banner -nostats " + head + "-i '" + output.string() + "' " + head +
                                     "-i '" + source.string() + "' -lavfi '" + graph + "' -f null - 2>&1");
    const auto at = text.rfind("average:");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 8);
}

// The PSNR of a conversion's video against its source (ffmpeg's psnr filter).
// The two do not start on the same frame (a DVD's first GOP is open, and the
// tools keep or drop its leading B-frames differently), so the frames are
// paired at the offset that matches best over the first two seconds.
double Psnr(const fs::path& output, const fs::path& source) {
    int best = 0;
    double best_psnr = -1;
    for (int offset = -8; offset <= 8; ++offset) {
        const double p = PsnrAt(output, source, offset, 60);
        if (p > best_psnr) {
            best_psnr = p;
            best = offset;
        }
    }
    return PsnrAt(output, source, best, 0);
}

// Makes a source with the sync tests' recipe: NTSC DVD video at 6 Mbit/s
// (9 Mbit/s peaks, 18-frame GOPs with B-frames) and AC-3 stereo at 448 kbit/s,
// a white frame and a beep together every 2.002 s; with grain, noise on every
// frame as a film's grain (every macroblock costs, to decode and to code).
bool MakeSource(const fs::path& path, int seconds, bool grain = false) {
    if (fs::exists(path)) return true;
    std::printf("Making %s (%d s of NTSC DVD video)...\n", path.filename().c_str(), seconds);
    std::fflush(stdout);
    const std::string command = "bash '" MEDIA_SCRIPT "' " + std::string(grain ? "--grain" : "--clip") + " '" +
                                path.string() + "' " + std::to_string(seconds);
    return std::system(command.c_str()) == 0 && fs::exists(path);
}

// The largest distance between a beep and its flash in any of the files, as
// libavformat times them; negative when a file cannot be read.
double WorstOffset(const std::vector<fs::path>& files) {
    double worst = 0;
    for (const fs::path& f : files) {
        const testing_media::Marks marks = testing_media::MarksByLibav(f.string());
        if (!marks.ok || marks.beeps.empty()) return -1;
        worst = std::max(worst, testing_media::MaxOffset(marks));
    }
    return worst;
}

struct Tool {
    std::string label;
    std::vector<std::string> argv;
    std::vector<fs::path> outputs;
    std::vector<Sample> samples;
};

struct Row {
    std::string source;
    std::string tool;
    double wall, cpu, rss, sizeMb, psnr, offsetMs;
};

// Runs every tool of a case runs times, turn about, the first one first on odd
// runs and last on even ones, so that none always meets a warm cache.
bool RunCase(const std::string& name, std::vector<Tool>& tools, int runs, const fs::path& log) {
    for (int r = 0; r < runs; ++r) {
        std::vector<Tool*> order;
        for (Tool& t : tools) order.push_back(&t);
        if (r % 2) std::reverse(order.begin(), order.end());
        for (Tool* t : order) t->samples.push_back(Measure(t->argv, log));
        std::printf("  %s run %d:", name.c_str(), r + 1);
        for (const Tool& t : tools) std::printf(" %s %.2f s;", t.label.c_str(), t.samples.back().wall);
        std::printf("\n");
        std::fflush(stdout);
        for (const Tool& t : tools) {
            if (t.samples.back().status != 0) {
                std::fprintf(stderr, "convert-vs-ffmpeg: %s failed (status %d); see %s\n", t.label.c_str(),
                             t.samples.back().status, log.c_str());
                return false;
            }
        }
    }
    return true;
}

Row Summarise(const std::string& source, const Tool& t, double psnr) {
    auto med = [&](double Sample::*field) {
        std::vector<double> x;
        for (const Sample& s : t.samples) x.push_back(s.*field);
        return Median(x);
    };
    double bytes = 0;
    for (const fs::path& f : t.outputs) bytes += static_cast<double>(fs::file_size(f));
    return {source, t.label, med(&Sample::wall), med(&Sample::cpu), med(&Sample::rssMb), bytes / 1e6, psnr,
            WorstOffset(t.outputs) * 1000};
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    fs::path work = "bench-work";
    bool only_short = false;
    bool flat = true;
    bool psnr = true;
    bool disc = true;
    bool title = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) work = argv[++i];
        else if (!std::strcmp(argv[i], "--only-short")) only_short = true;
        else if (!std::strcmp(argv[i], "--no-flat")) flat = false;
        else if (!std::strcmp(argv[i], "--no-psnr")) psnr = false;
        else if (!std::strcmp(argv[i], "--no-disc")) disc = false;
        else if (!std::strcmp(argv[i], "--no-title")) title = false;
        else {
            std::fprintf(stderr,
                         "usage: convert-vs-ffmpeg [--runs N] [--work DIR] [--only-short] [--no-flat] [--no-psnr] "
                         "[--no-disc] [--no-title]\n");
            return 2;
        }
    }
    if (Capture("command -v ffmpeg").empty()) {
        std::fprintf(stderr, "convert-vs-ffmpeg: ffmpeg is not installed (apt-get install ffmpeg)\n");
        return 2;
    }
    const fs::path ours = fs::path(kernel::ExecutableFolder()) / "vobcast-convert";
    const fs::path log = work / "runs.log";
    // The same settings on both sides: MPEG-4 Part 2 tagged DX50 at 1800 kbit/s
    // with a key frame every 12 frames (ffmpeg's default GOP), WMA v2 at 128 kbit/s.
    const std::vector<std::string> our_settings = {"-q", "--overwrite", "--compressor", "MPEG-4 Part 2 (DivX compatible)",
                                                   "--bitrate", "1800", "--keyint", "12"};
    const std::string ff_settings = "-c:v mpeg4 -vtag DX50 -b:v 1800k -c:a wmav2 -b:a 128k";
    const auto ffmpeg = [&](const fs::path& in, const fs::path& out) {
        return "ffmpeg -nostdin -hide_banner -loglevel error -y -i " + Quoted(in) + " " + ff_settings + " " + Quoted(out);
    };

    std::vector<Row> rows;
    // Film grain first: what real films cost. Then the flat pattern.
    struct Source {
        std::string name;
        int seconds;
        bool grain;
    };
    std::vector<Source> sources = {{"grain-60s.vob", 60, true}, {"grain-10min.vob", 600, true},
                                   {"dvd-60s.vob", 60, false}, {"dvd-10min.vob", 600, false}};
    if (only_short) std::erase_if(sources, [](const Source& s) { return s.seconds > 60; });
    if (!flat) std::erase_if(sources, [](const Source& s) { return !s.grain; });
    for (const auto& [name, seconds, grain] : sources) {
        const fs::path source = work / name;
        if (!MakeSource(source, seconds, grain)) {
            std::fprintf(stderr, "convert-vs-ffmpeg: cannot make %s\n", source.c_str());
            return 1;
        }
        const std::string stem = fs::path(name).stem().string();
        fs::create_directories(work / "ours");
        fs::create_directories(work / "ffmpeg");
        std::vector<std::string> ours_cmd = {ours.string()};
        ours_cmd.insert(ours_cmd.end(), our_settings.begin(), our_settings.end());
        ours_cmd.insert(ours_cmd.end(), {"-o", (work / "ours").string(), source.string()});
        std::vector<Tool> tools = {
            {"vobcast", ours_cmd, {work / "ours" / (stem + ".avi")}, {}},
            {"ffmpeg", {"sh", "-c", ffmpeg(source, work / "ffmpeg" / (stem + ".avi"))}, {work / "ffmpeg" / (stem + ".avi")}, {}}};
        if (!RunCase(stem, tools, runs, log)) return 1;
        for (const Tool& t : tools) rows.push_back(Summarise(stem, t, psnr ? Psnr(t.outputs[0], source) : 0));
    }

    if (title && !only_short) {
        // The 10-minute film grain source as a DVD's title, read through
        // libdvdnav's navigation, beside the same VOB read as a file.
        const fs::path source = work / "grain-10min.vob", folder = work / "grain-disc";
        if (!fs::exists(folder / "VIDEO_TS" / "VTS_01_1.VOB")) {
            fs::remove_all(folder);
            const std::string xml = "<dvdauthor dest=\"" + folder.string() + "\"><vmgm/><titleset><titles><pgc><vob file=\"" +
                                    source.string() + "\"/></pgc></titles></titleset></dvdauthor>";
            if (std::system(("printf '%s' " + Quoted(xml) + " > " + Quoted(work / "grain-disc.xml") +
                             " && VIDEO_FORMAT=NTSC dvdauthor -x " + Quoted(work / "grain-disc.xml") + " >/dev/null 2>&1")
                                .c_str()) != 0) {
                std::fprintf(stderr, "convert-vs-ffmpeg: dvdauthor could not make %s\n", folder.c_str());
                return 1;
            }
        }
        for (const char* d : {"ours-title", "ours-file"}) fs::create_directories(work / d);
        const auto ours_on = [&](const std::vector<std::string>& input, const fs::path& out) {
            std::vector<std::string> cmd = {ours.string()};
            cmd.insert(cmd.end(), our_settings.begin(), our_settings.end());
            cmd.insert(cmd.end(), {"-o", out.string()});
            cmd.insert(cmd.end(), input.begin(), input.end());
            return cmd;
        };
        std::vector<Tool> tools = {
            {"vobcast --title 1", ours_on({"--title", "1", folder.string()}, work / "ours-title"),
             {work / "ours-title" / "grain-disc title 01.avi"}, {}},
            {"vobcast on the VOB file", ours_on({source.string()}, work / "ours-file"),
             {work / "ours-file" / "grain-10min.avi"}, {}},
            {"ffmpeg", {"sh", "-c", ffmpeg(source, work / "ffmpeg" / "grain-10min.avi")},
             {work / "ffmpeg" / "grain-10min.avi"}, {}}};
        if (!RunCase("title", tools, runs, log)) return 1;
        for (const Tool& t : tools) rows.push_back(Summarise("grain-10min as a title", t, 0));
    }

    if (disc) {
        // A disc's film in three title VOBs, as a folder gives them.
        const fs::path titles = work / "disc" / "VIDEO_TS";
        fs::create_directories(titles);
        std::vector<fs::path> vobs;
        for (int i = 1; i <= 3; ++i) {
            vobs.push_back(titles / ("VTS_01_" + std::to_string(i) + ".VOB"));
            if (!MakeSource(vobs.back(), 120)) return 1;
        }
        const fs::path our_dir = work / "ours-disc", seq_dir = work / "ffmpeg-disc", par_dir = work / "ffmpeg-disc-2";
        for (const fs::path& d : {our_dir, seq_dir, par_dir}) fs::create_directories(d);
        std::vector<std::string> ours_cmd = {ours.string(), "-j", "2"};
        ours_cmd.insert(ours_cmd.end(), our_settings.begin(), our_settings.end());
        ours_cmd.insert(ours_cmd.end(), {"-o", our_dir.string(), titles.string()});
        std::string one_by_one, two_at_once = "printf '%s\\n'";
        std::vector<fs::path> our_out, seq_out, par_out;
        for (const fs::path& v : vobs) {
            const std::string avi = v.stem().string() + ".avi";
            our_out.push_back(our_dir / avi);
            seq_out.push_back(seq_dir / avi);
            par_out.push_back(par_dir / avi);
            one_by_one += (one_by_one.empty() ? "" : " && ") + ffmpeg(v, seq_out.back());
            two_at_once += " " + Quoted(v);
        }
        two_at_once += " | xargs -P 2 -I{} sh -c '" +
                       std::string("ffmpeg -nostdin -hide_banner -loglevel error -y -i \"$1\" ") + ff_settings + " \"" +
                       par_dir.string() + "/$(basename \"$1\" .VOB).avi\"' _ {}";
        std::vector<Tool> tools = {{"vobcast -j 2", ours_cmd, our_out, {}},
                                   {"ffmpeg one by one", {"sh", "-c", one_by_one}, seq_out, {}},
                                   {"ffmpeg two at once", {"sh", "-c", two_at_once}, par_out, {}}};
        if (!RunCase("disc", tools, runs, log)) return 1;
        for (const Tool& t : tools) rows.push_back(Summarise("disc, 3 titles", t, 0));
    }

    std::printf("\nMedians of %d runs each (%ld cores); A/V is the largest distance from a beep to its flash,\n"
                "as libavformat reads the output (a frame lasts 33 ms):\n\n",
                runs, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("| source | tool | wall s | CPU s | peak RSS MB | size MB | PSNR dB | A/V ms |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|\n");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        std::printf("| %s | %s | %.2f | %.2f | %.1f | %.2f | %.2f | %.0f |\n", r.source.c_str(), r.tool.c_str(), r.wall,
                    r.cpu, r.rss, r.sizeMb, r.psnr, r.offsetMs);
        // Our row comes first in each case; the ratios follow each other row.
        if (i == 0 || rows[i - 1].source != r.source) continue;
        const Row& o = *std::find_if(rows.begin(), rows.end(), [&](const Row& x) { return x.source == r.source; });
        std::printf("| %s | ours / %s | %.2f | %.2f | %.2f | %.2f | %+.2f | |\n", r.source.c_str(), r.tool.c_str(),
                    o.wall / r.wall, o.cpu / r.cpu, o.rss / r.rss, o.sizeMb / r.sizeMb, o.psnr - r.psnr);
    }
    if (!only_short) {
        for (std::size_t at = 0; at + 3 < rows.size() && rows[at].source.find("60s") != std::string::npos; at += 4)
            std::printf("\nPeak RSS, %s / %s: vobcast %.2f, ffmpeg %.2f", rows[at + 2].source.c_str(), rows[at].source.c_str(),
                        rows[at + 2].rss / rows[at].rss, rows[at + 3].rss / rows[at + 1].rss);
        std::printf("\n");
    }
    // Speed bought with timing is no speed: a conversion out of sync fails the benchmark.
    bool in_sync = true;
    for (const Row& r : rows) {
        if (r.tool.rfind("vobcast", 0) == 0 && (r.offsetMs < 0 || r.offsetMs > 40)) {
            std::fprintf(stderr, "convert-vs-ffmpeg: %s by vobcast is out of sync (%.0f ms)\n", r.source.c_str(), r.offsetMs);
            in_sync = false;
        }
    }
    return in_sync ? 0 : 1;
}
