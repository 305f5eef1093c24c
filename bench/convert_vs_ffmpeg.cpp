// Speed, memory and quality of vobcast-convert against ffmpeg on the same
// NTSC DVD-style sources at the same settings.
//
//   convert-vs-ffmpeg [--runs N] [--work DIR] [--only-short] [--no-psnr]
//
// Makes a 60-second and a 10-minute source (MPEG-2 at about 6 Mbit/s, AC-3 at
// 448 kbit/s, 720x480 at 29.97 frames a second) once, converts each with both
// tools N times, alternating which goes first, and prints the medians of wall
// time, CPU time and peak memory, the file sizes, the PSNR of each output
// against its source, and the ratios ours / ffmpeg.
#include "platform/kernel/module_folder.h"

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

struct Sample {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds, user + system, the process and its children
    double rssMb = 0; // peak resident memory of the largest process
    int status = -1;
};

// Runs argv and measures it; its output goes to log.
Sample Measure(const std::vector<std::string>& argv, const fs::path& log) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    std::vector<std::string> copy = argv;
    for (std::string& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::FILE* f = std::fopen(log.c_str(), "a")) {
            ::dup2(::fileno(f), STDOUT_FILENO);
            ::dup2(::fileno(f), STDERR_FILENO);
        }
        ::execvp(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    int raw = 0;
    rusage usage{};
    ::wait4(pid, &raw, 0, &usage);
    Sample s;
    s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    s.rssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

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

bool MakeSource(const fs::path& path, int seconds) {
    if (fs::exists(path)) return true;
    std::printf("Making %s (%d s of NTSC DVD video)...\n", path.filename().c_str(), seconds);
    std::fflush(stdout);
    const fs::path part = path.string() + ".part";
    // A moving test card with fine detail and a tone: DVD-like MPEG-2 at
    // about 6 Mbit/s (9 Mbit/s peaks), 15-frame GOPs with B-frames, AC-3 stereo.
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=720x480:rate=30000/1001 "
        "-f lavfi -i 'sine=frequency=440:sample_rate=48000' -t " + std::to_string(seconds) +
        " -c:v mpeg2video -b:v 6000k -maxrate 9000k -bufsize 1835k -g 15 -bf 2 -c:a ac3 -b:a 448k -ac 2 "
        "-f dvd '" + part.string() + "'";
    if (std::system(command.c_str()) != 0) return false;
    fs::rename(part, path);
    return true;
}

struct Row {
    std::string source;
    std::string tool;
    double wall, cpu, rss, sizeMb, psnr;
};

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    fs::path work = "bench-work";
    bool only_short = false;
    bool psnr = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) work = argv[++i];
        else if (!std::strcmp(argv[i], "--only-short")) only_short = true;
        else if (!std::strcmp(argv[i], "--no-psnr")) psnr = false;
        else {
            std::fprintf(stderr, "usage: convert-vs-ffmpeg [--runs N] [--work DIR] [--only-short] [--no-psnr]\n");
            return 2;
        }
    }
    if (Capture("command -v ffmpeg").empty()) {
        std::fprintf(stderr, "convert-vs-ffmpeg: ffmpeg is not installed (apt-get install ffmpeg)\n");
        return 2;
    }
    const fs::path ours = fs::path(kernel::ExecutableFolder()) / "vobcast-convert";
    fs::create_directories(work / "ours");
    fs::create_directories(work / "ffmpeg");
    const fs::path log = work / "runs.log";

    std::vector<std::pair<std::string, int>> sources = {{"dvd-60s.vob", 60}, {"dvd-10min.vob", 600}};
    if (only_short) sources.resize(1);
    std::vector<Row> rows;
    for (const auto& [name, seconds] : sources) {
        const fs::path source = work / name;
        if (!MakeSource(source, seconds)) {
            std::fprintf(stderr, "convert-vs-ffmpeg: cannot make %s\n", source.c_str());
            return 1;
        }
        const std::string stem = fs::path(name).stem().string();
        const fs::path our_out = work / "ours" / (stem + ".avi");
        const fs::path ff_out = work / "ffmpeg" / (stem + ".avi");
        // The same settings on both sides: MPEG-4 Part 2 tagged DX50 at
        // 1800 kbit/s with ffmpeg's default 12-frame GOP, WMA v2 at 128 kbit/s.
        const std::vector<std::string> ours_cmd = {ours.string(), "-q", "--overwrite", "--compressor",
                                                   "MPEG-4 Part 2 (DivX compatible)", "--bitrate", "1800", "--keyint",
                                                   "12", "-o", (work / "ours").string(), source.string()};
        const std::vector<std::string> ff_cmd = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i",
                                                 source.string(), "-c:v", "mpeg4", "-vtag", "DX50", "-b:v", "1800k",
                                                 "-c:a", "wmav2", "-b:a", "128k", ff_out.string()};
        std::vector<Sample> a, b;
        for (int r = 0; r < runs; ++r) {
            // Alternate which goes first, so that neither always meets a warm cache.
            if (r % 2 == 0) {
                a.push_back(Measure(ours_cmd, log));
                b.push_back(Measure(ff_cmd, log));
            } else {
                b.push_back(Measure(ff_cmd, log));
                a.push_back(Measure(ours_cmd, log));
            }
            std::printf("  %s run %d: vobcast %.2f s, ffmpeg %.2f s\n", name.c_str(), r + 1, a.back().wall, b.back().wall);
            std::fflush(stdout);
            if (a.back().status != 0 || b.back().status != 0) {
                std::fprintf(stderr, "convert-vs-ffmpeg: a conversion failed (status %d / %d); see %s\n", a.back().status,
                             b.back().status, log.c_str());
                return 1;
            }
        }
        auto med = [](const std::vector<Sample>& v, double Sample::*field) {
            std::vector<double> x;
            x.reserve(v.size());
            for (const Sample& s : v) x.push_back(s.*field);
            return Median(x);
        };
        const double our_psnr = psnr ? Psnr(our_out, source) : 0;
        const double ff_psnr = psnr ? Psnr(ff_out, source) : 0;
        rows.push_back({stem, "vobcast", med(a, &Sample::wall), med(a, &Sample::cpu), med(a, &Sample::rssMb),
                        static_cast<double>(fs::file_size(our_out)) / 1e6, our_psnr});
        rows.push_back({stem, "ffmpeg", med(b, &Sample::wall), med(b, &Sample::cpu), med(b, &Sample::rssMb),
                        static_cast<double>(fs::file_size(ff_out)) / 1e6, ff_psnr});
    }

    std::printf("\nMedians of %d runs each (%ld cores):\n\n", runs, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("| source | tool | wall s | CPU s | peak RSS MB | size MB | PSNR dB |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|\n");
    for (std::size_t i = 0; i + 1 < rows.size(); i += 2) {
        for (const Row* r : {&rows[i], &rows[i + 1]}) {
            std::printf("| %s | %s | %.2f | %.2f | %.1f | %.2f | %.2f |\n", r->source.c_str(), r->tool.c_str(), r->wall,
                        r->cpu, r->rss, r->sizeMb, r->psnr);
        }
        const Row& o = rows[i];
        const Row& f = rows[i + 1];
        std::printf("| %s | ours / ffmpeg | %.2f | %.2f | %.2f | %.2f | %+.2f |\n", o.source.c_str(), o.wall / f.wall,
                    o.cpu / f.cpu, o.rss / f.rss, o.sizeMb / f.sizeMb, o.psnr - f.psnr);
    }
    if (rows.size() == 4) {
        std::printf("\nPeak RSS, 10-minute source / 60-second source: vobcast %.2f, ffmpeg %.2f\n", rows[2].rss / rows[0].rss,
                    rows[3].rss / rows[1].rss);
    }
    return 0;
}
