#include "batch.h"

#include "disc_titles.h"
#include "jobs.h"
#include "place_file.h"
#include "worker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace vobcast::cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How many times the user asked to stop: the first finalises the files
// under way, the second ends their workers at once. Signals that come
// together are one request (timeout(1) signals its command and then its
// process group, so the batch hears it twice).
volatile sig_atomic_t g_stops = 0;
volatile sig_atomic_t g_firstStopMs = 0;

long MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void OnStop(int) {
    constexpr long kTogetherMs = 200;
    const long now = MonotonicMs();
    if (g_stops == 0) g_firstStopMs = static_cast<sig_atomic_t>(now);
    else if (now - g_firstStopMs < kTogetherMs) return;
    g_stops = g_stops + 1;
}

// A worker still running this long after it was told to stop is ended: its
// engine gives up on a graph that does not finish well before.
constexpr auto kStopGrace = std::chrono::seconds(30);

struct Worker {
    Job job;
    pid_t pid = -1;
    int out = -1;  // the worker's progress lines
    int err = -1;  // the engine's messages
    std::string outBuffer;
    std::string messages;
    std::string cause;    // in plain words, when the worker knows one
    double duration = 0;  // seconds; 0 when unknown
    long percent = 0;
    long lastPlain = 0;
    Clock::time_point started = Clock::now();
    const char* ended = nullptr;  // why it was killed: "at once", or after the grace
};

std::string Duration(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string Size(std::uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string Name(const std::string& path) { return fs::path(path).filename().string(); }

// The engine's message without its "Error : " heading, on one line, and
// without what the DVD libraries print on their own ("libdvdnav: Suspected
// RCE Region Protection!!!" on discs with region checks).
std::string Cause(std::string messages) {
    std::string out;
    for (const std::string chatter : {"libdvdnav: ", "libdvdread: "}) {
        for (auto at = messages.find(chatter); at != std::string::npos; at = messages.find(chatter, at)) {
            if (at != 0 && messages[at - 1] != '\n') {
                at += chatter.size();
                continue;
            }
            const auto end = messages.find('\n', at);
            messages.erase(at, end == std::string::npos ? std::string::npos : end - at + 1);
        }
    }
    for (const std::string heading : {"Error : ", "Warning : "}) {
        for (auto at = messages.find(heading); at != std::string::npos; at = messages.find(heading))
            messages.erase(at, heading.size());
    }
    for (char c : messages) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out.empty() ? "the conversion failed" : out;
}

std::string Speed(const Worker& w) {
    const double elapsed = Seconds(w.started);
    if (w.duration <= 0 || w.percent <= 0 || elapsed <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx", w.duration * static_cast<double>(w.percent) / 100.0 / elapsed);
    return text;
}

class Batch {
public:
    Batch(const Options& o, std::string self, bool terminal, std::ostream& out, std::ostream& err)
        : o_(o), self_(std::move(self)), live_(terminal && !o.quiet), out_(out), err_(err) {}

    int Run() {
        if (const std::string problem = OutputFolderProblem(o_.outputDir); !problem.empty()) {
            err_ << "vobcast-convert: " << problem << "\n";
            return 2;
        }
        EngineBinding engine;
        if (ChooseCompressor(engine, o_, err_) < 0) return 2;
        std::vector<Job> jobs;
        if (o_.ByTitle()) {
            jobs = TitleJobs(engine, o_);
            AssignDestinations(jobs, o_.outputDir, o_.overwrite);
        } else {
            jobs = PlanJobs(o_.inputs, o_.outputDir, o_.overwrite);
            for (Job& job : jobs) {
                job.audioStream = static_cast<int>(o_.audioTrack) - 1;
                job.subtitleStream = static_cast<int>(o_.subtitleTrack) - 1;
                if (job.problem.empty()) job.subtitleStream = FileSubtitles(engine, job, o_, job.problem);
                if (job.subtitleStream >= 0 && job.problem.empty()) NoteDefaultColours(engine, job);
            }
        }
        for (Job& job : jobs) {
            if (job.problem.empty()) pending_.push_back(std::move(job));
            else Fail(job.Label(), job.problem);
        }
        total_ = pending_.size() + failed_.size();
        const auto started = Clock::now();

        struct sigaction stop {};
        stop.sa_handler = OnStop;
        struct sigaction old_int {};
        struct sigaction old_term {};
        sigaction(SIGINT, &stop, &old_int);
        sigaction(SIGTERM, &stop, &old_term);
        g_stops = 0;
        Clock::time_point stopped{};

        while (!pending_.empty() || !running_.empty()) {
            while (!g_stops && !pending_.empty() && running_.size() < static_cast<std::size_t>(o_.jobs)) {
                Start(std::move(pending_.front()));
                pending_.pop_front();
            }
            if (g_stops && !interrupted_) {
                // A Ctrl-C reaches the workers too; a signal sent to this
                // process alone is passed on, so that they finalise their files.
                for (const Worker& w : running_) ::kill(w.pid, SIGINT);
                interrupted_ = true;
                stopped = Clock::now();
                for (const Job& job : pending_) not_started_.push_back(job.Label());
                pending_.clear();
            }
            if (interrupted_) {
                const char* why = g_stops > 1                          ? "at once"
                                  : Clock::now() - stopped > kStopGrace ? "as it did not finish within 30 s of the stop"
                                                                        : nullptr;
                for (Worker& w : running_) {
                    if (!why || w.ended) continue;
                    ::kill(w.pid, SIGKILL);
                    w.ended = why;
                }
            }
            Poll();
            Draw(false);
        }
        sigaction(SIGINT, &old_int, nullptr);
        sigaction(SIGTERM, &old_term, nullptr);
        Summary(Seconds(started));
        if (interrupted_) return 130;
        return failed_.empty() ? 0 : 1;
    }

private:
    void Start(Job job) {
        int out_pipe[2];
        int err_pipe[2];
        if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
            Fail(job.Label(), std::string("cannot start a worker: ") + std::strerror(errno));
            return;
        }
        if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
            ::close(out_pipe[0]);
            ::close(out_pipe[1]);
            Fail(job.Label(), std::string("cannot start a worker: ") + std::strerror(errno));
            return;
        }
        std::vector<std::string> args = {self_, "--worker"};
        if (!o_.compressor.empty()) args.insert(args.end(), {"--compressor", o_.compressor});
        if (o_.bitrateKbps > 0) args.insert(args.end(), {"--bitrate", std::to_string(o_.bitrateKbps)});
        if (o_.keyFrames > 0) args.insert(args.end(), {"--keyint", std::to_string(o_.keyFrames)});
        if (o_.sizeMB > 0) {
            std::ostringstream size;
            size.precision(17);
            size << o_.sizeMB;
            args.insert(args.end(), {"--size", size.str()});
        }
        if (o_.cropAuto) {
            args.insert(args.end(), {"--crop", "auto"});
        } else if (std::any_of(std::begin(o_.crop), std::end(o_.crop), [](long e) { return e != 0; })) {
            args.insert(args.end(), {"--crop", std::to_string(o_.crop[0]) + ":" + std::to_string(o_.crop[1]) + ":" +
                                                   std::to_string(o_.crop[2]) + ":" + std::to_string(o_.crop[3])});
        }
        static const char* const kModes[] = {"auto", "always", "never"};
        args.insert(args.end(), {"--deinterlace", kModes[o_.deinterlace], "--detelecine", o_.detelecine ? "never" : "auto"});
        if (job.title > 0) args.insert(args.end(), {"--worker-title", std::to_string(job.title)});
        if (job.title > 0 && o_.angle > 0) args.insert(args.end(), {"--angle", std::to_string(o_.angle)});
        if (job.audioStream >= 0) args.insert(args.end(), {"--worker-audio-stream", std::to_string(job.audioStream)});
        if (job.subtitleStream >= 0) {
            args.insert(args.end(), {"--worker-subtitle-stream", std::to_string(job.subtitleStream)});
            if (o_.forcedSubtitles) args.emplace_back("--forced-subtitles");
        }
        args.insert(args.end(), {"--", job.source, PartName(job.destination)});
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            // A worker whose batch is gone stops as if told to.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(1);
            ::dup2(out_pipe[1], STDOUT_FILENO);
            ::dup2(err_pipe[1], STDERR_FILENO);
            ::execv(self_.c_str(), argv.data());
            std::fprintf(stderr, "cannot run %s: %s\n", self_.c_str(), std::strerror(errno));
            ::_exit(127);
        }
        ::close(out_pipe[1]);
        ::close(err_pipe[1]);
        if (pid < 0) {
            ::close(out_pipe[0]);
            ::close(err_pipe[0]);
            Fail(job.Label(), std::string("cannot start a worker: ") + std::strerror(errno));
            return;
        }
        Worker w;
        w.job = std::move(job);
        w.pid = pid;
        w.out = out_pipe[0];
        w.err = err_pipe[0];
        running_.push_back(std::move(w));
    }

    void Poll() {
        std::vector<pollfd> fds;
        for (const Worker& w : running_) {
            fds.push_back({w.out, POLLIN, 0});
            fds.push_back({w.err, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) return;
        for (std::size_t i = 0; i < running_.size(); ++i) {
            Worker& w = running_[i];
            if (fds[2 * i].revents != 0) Read(w.out, w.outBuffer);
            if (fds[2 * i + 1].revents != 0) Read(w.err, w.messages);
            for (auto nl = w.outBuffer.find('\n'); nl != std::string::npos; nl = w.outBuffer.find('\n')) {
                Report(w, w.outBuffer.substr(0, nl));
                w.outBuffer.erase(0, nl + 1);
            }
        }
        for (std::size_t i = 0; i < running_.size();) {
            if (running_[i].out < 0 && running_[i].err < 0) {
                Finish(running_[i]);
                running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    static void Read(int& fd, std::string& into) {
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    }

    void Report(Worker& w, const std::string& line) {
        if (line.starts_with("duration ")) {
            w.duration = std::atof(line.c_str() + 9);
        } else if (line.starts_with("crop ")) {
            int t = 0, b = 0, l = 0, r = 0, width = 0, height = 0, pictures = 0;
            if (std::sscanf(line.c_str() + 5, "%d %d %d %d %d %d %d", &t, &b, &l, &r, &width, &height, &pictures) == 7 &&
                !o_.quiet)
                Print("Cropping " + Name(w.job.Label()) + " from " + std::to_string(width) + "x" + std::to_string(height) +
                      " to " + std::to_string(width - l - r) + "x" + std::to_string(height - t - b) + " (black bars " +
                      std::to_string(t) + ":" + std::to_string(b) + ":" + std::to_string(l) + ":" + std::to_string(r) +
                      ", from " + std::to_string(pictures) + " pictures)");
        } else if (line.starts_with("cause ")) {
            w.cause = line.substr(6);
        } else if (line.starts_with("progress ")) {
            w.percent = std::atol(line.c_str() + 9);
            if (!live_ && !o_.quiet && w.percent / 10 > w.lastPlain / 10 && w.percent < 100) {
                out_ << Name(w.job.Label()) << ": " << w.percent << "%\n" << std::flush;
                w.lastPlain = w.percent;
            }
        }
    }

    void Finish(Worker& w) {
        int raw = 0;
        while (::waitpid(w.pid, &raw, 0) < 0 && errno == EINTR) {
        }
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        const std::string part = PartName(w.job.destination);
        const std::string name = Name(w.job.Label());
        std::error_code ec;
        const bool killed = w.ended && WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
        if (killed || status == kStoppedUnfinished) {
            // What was written stays where it was written, an unfinished file.
            if (!fs::exists(part, ec)) Print("Stopped " + name + ": nothing written");
            else if (killed) Print("Stopped " + name + ", ended " + w.ended + ": kept what was written, unfinished, in " + part);
            else Print("Stopped " + name + ": the conversion could not finish the file; kept what was written, without its index, in " + part);
            return;
        }
        if (status == 0 || status == 130) {
            // Finished, or finalised after a stop: the file takes its name,
            // without replacing one that appeared meanwhile unless asked to.
            // A part cut short by a stop never replaces a whole file.
            if (status == 130 && !fs::exists(part, ec)) {
                Print("Stopped " + name + " in its first pass: nothing written");
                return;
            }
            const bool replace = o_.overwrite && status == 0;
            const int error = replace ? (::rename(part.c_str(), w.job.destination.c_str()) == 0 ? 0 : errno)
                                      : PlaceWithoutReplacing(part, w.job.destination);
            const bool placed = error == 0;
            const std::string kept = placed ? w.job.destination : part;
            const auto size = fs::file_size(kept, ec);
            if (status == 130) {
                Print("Stopped " + name + ": kept the part converted so far in " + kept);
                return;
            }
            if (!placed) {
                Fail(w.job.Label(), (error == EEXIST ? w.job.destination + " appeared during the conversion"
                                                    : w.job.destination + " cannot be named: " + std::strerror(error)) +
                                       "; the AVI is in " + part);
                return;
            }
            ++converted_;
            if (!o_.quiet) {
                std::string line = "Converted " + name + " -> " + kept + " (" + Size(ec ? 0 : size) + ", " +
                                   Duration(Seconds(w.started));
                if (const std::string speed = Speed(w); !speed.empty()) line += ", " + speed + " real time";
                Print(line + ")");
            }
            return;
        }
        fs::remove(part, ec);
        // The engine's own words follow the plain ones, where it said any.
        Fail(w.job.Label(), w.cause.empty()      ? Cause(w.messages)
                            : w.messages.empty() ? w.cause
                                                 : w.cause + " (" + Cause(w.messages) + ")");
    }

    // A VOB file without its title set's IFO beside it has its subtitles
    // drawn in the default colours: said once for each such file.
    void NoteDefaultColours(EngineBinding& engine, const Job& job) {
        VobcastSourceInfo info{};
        engine.ChooseSource(0, job.audioStream);
        engine.ChooseSubtitles(job.subtitleStream, o_.forcedSubtitles);
        if (engine.DescribeSource(job.source, info) && info.program_stream && !info.subtitle_colours)
            err_ << "vobcast-convert: " << job.source
                 << ": no title set IFO file beside it; its subtitles are drawn in the default colours\n";
        engine.ChooseSubtitles(-1, false);
    }

    void Fail(const std::string& source, const std::string& cause) {
        failed_.push_back(source + ": " + cause);
        Clear();
        err_ << "vobcast-convert: " << source << ": " << cause << "\n" << std::flush;
        Draw(true);
    }

    void Print(const std::string& line) {
        Clear();
        out_ << line << "\n" << std::flush;
        Draw(true);
    }

    // The live progress block: one line per file being converted, redrawn in place.
    void Clear() {
        if (!live_ || drawn_ == 0) return;
        out_ << "\x1b[" << drawn_ << "A\x1b[J" << std::flush;
        drawn_ = 0;
    }

    void Draw(bool now) {
        if (!live_) return;
        if (!now && Seconds(last_draw_) < 0.25) return;
        Clear();
        for (const Worker& w : running_) {
            char line[512];
            const double elapsed = Seconds(w.started);
            const std::string eta = w.percent > 0 ? "ETA " + Duration(elapsed * static_cast<double>(100 - w.percent) /
                                                                    static_cast<double>(w.percent))
                                                  : "";
            std::snprintf(line, sizeof line, "%3ld%%  %-24s %7s  %s", w.percent, Name(w.job.Label()).c_str(),
                          Speed(w).c_str(), eta.c_str());
            out_ << line << "\n";
        }
        out_ << std::flush;
        drawn_ = running_.size();
        last_draw_ = Clock::now();
    }

    void Summary(double seconds) {
        Clear();
        const char* what = o_.ByTitle() ? " title" : " file";
        out_ << "Converted " << converted_ << " of " << total_ << what << (total_ == 1 ? "" : "s") << " in "
             << Duration(seconds) << (interrupted_ ? "; interrupted" : "") << ".\n";
        if (!failed_.empty()) {
            out_ << "Not converted:\n";
            for (const std::string& f : failed_) out_ << "  " << f << "\n";
        }
        if (!not_started_.empty()) {
            out_ << "Not started:\n";
            for (const std::string& f : not_started_) out_ << "  " << f << "\n";
        }
        out_ << std::flush;
    }

    const Options& o_;
    const std::string self_;
    const bool live_;
    std::ostream& out_;
    std::ostream& err_;
    std::deque<Job> pending_;
    std::vector<Worker> running_;
    std::vector<std::string> failed_;
    std::vector<std::string> not_started_;
    std::size_t total_ = 0;
    std::size_t converted_ = 0;
    std::size_t drawn_ = 0;
    Clock::time_point last_draw_{};
    bool interrupted_ = false;
};

} // namespace

int RunBatch(const Options& options, const std::string& self, bool terminal, std::ostream& out, std::ostream& err) {
    return Batch(options, self, terminal, out, err).Run();
}

} // namespace vobcast::cli
