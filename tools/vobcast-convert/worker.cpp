#include "worker.h"

#include "size_plan.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <thread>

namespace vobcast::cli {
namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

// What the engine would show in boxes, collected and echoed to the terminal.
struct Messages {
    std::ostream* err = nullptr;
    std::string text;
    bool failed = false;
};

void OnMessage(void* context, const char* text) {
    auto* m = static_cast<Messages*>(context);
    const std::string_view t(text);
    m->failed = m->failed || t.starts_with("Error : ");
    m->text += t;
    // The engine traces each pin it connects; only its errors matter here.
    if (t.starts_with("Direct connect succeeded")) return;
    *m->err << t << (t.ends_with('\n') ? "" : "\n") << std::flush;
}

struct Answer {
    int index = 0;
    long keyFrames = 0;
    long bitrateKbps = 0;
};

std::int32_t OnChooser(void* context, VobcastChoice* choice) {
    const auto* a = static_cast<const Answer*>(context);
    choice->compressor = a->index;
    if (a->keyFrames > 0) choice->key_frames = static_cast<std::int32_t>(a->keyFrames);
    if (a->bitrateKbps > 0) choice->data_rate_kbps = static_cast<std::int32_t>(a->bitrateKbps);
    return 1;
}

} // namespace

std::string PlainCause(const VobcastSourceInfo& info, const std::string& messages) {
    if (messages.find("No space left on device") != std::string::npos ||
        messages.find("File too large") != std::string::npos)
        return "the disk is full";
    if (info.encrypted) return "is encrypted (CSS) and must be decrypted first";
    // A title whose files can't be read says which; a file, that it holds no program stream.
    if (!info.program_stream) return std::strncmp(info.problem, "the VOB files", 13) == 0 ? info.problem
                                                                                         : "is not an MPEG program stream";
    if (!info.has_video) return "has no MPEG video";
    if (!info.has_audio) {
        std::string found;
        for (int i = 0; i < info.audio_count; ++i) found += (found.empty() ? "" : ", ") + std::string(info.audio[i]);
        if (found.empty()) return "has no AC-3 audio (found: no audio)";
        // DTS alone, or a track asked for that is not there.
        return "has no audio track to take (found: " + found + "; --audio-track picks one)";
    }
    return {};
}

int ListCompressors(EngineBinding& engine, std::ostream& out, std::ostream& err) {
    if (engine.CompressorNames().empty() && !engine.Loaded()) {
        err << "vobcast-convert: " << engine.LoadError() << "\n";
        return 1;
    }
    for (const std::string& name : engine.CompressorNames()) out << name << "\n";
    return 0;
}

int ChooseCompressor(EngineBinding& engine, const Options& o, std::ostream& err) {
    const std::vector<std::string> compressors = engine.CompressorNames();
    if (!engine.Loaded()) {
        err << "vobcast-convert: " << engine.LoadError() << "\n";
        return -1;
    }
    if (o.compressor.empty() && !compressors.empty()) return 0;
    for (std::size_t i = 0; i < compressors.size(); ++i)
        if (compressors[i] == o.compressor) return static_cast<int>(i);
    err << "vobcast-convert: no video compressor \"" << o.compressor << "\"; installed are:\n";
    for (const std::string& name : compressors) err << "  " << name << "\n";
    return -1;
}

namespace {

// One run of the engine from DoInit to DoUninit, its progress reported as
// from to to percent. 0, 1 when the engine reported a failure, 130 when
// interrupted, kStoppedUnfinished when interrupted and the file could not be
// finished.
int RunEngine(EngineBinding& engine, const std::string& source, const std::string& destination, Messages& messages,
              long from, long to, std::ostream& out) {
    int status = 0;
    if (engine.DoInit(0, source, destination, 0) != 0) {
        status = 1;
    } else {
        if (const double seconds = engine.SourceSeconds(); seconds > 0 && from == 0)
            out << "duration " << seconds << "\n" << std::flush;
        engine.StartComp();
        long last = -1;
        for (;;) {
            // The engine gives a percentage in the low 32 bits.
            const long percent = static_cast<std::int32_t>(engine.GetCurrentPos());
            if (percent >= 0 && percent != last && (percent < 100 || to == 100)) {
                out << "progress " << from + percent * (to - from) / 100 << "\n" << std::flush;
                last = percent;
            }
            if (percent == 100 || g_interrupted || messages.failed) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const bool finished = engine.StopComp() == 0;
        if (g_interrupted) status = finished ? 130 : kStoppedUnfinished;
        else if (messages.failed) status = 1;
    }
    engine.DoUninit();
    return status;
}

// A file for the first pass's measure, removed with this.
struct StatsFile {
    std::string path;
    StatsFile() {
        std::string name = (std::filesystem::temp_directory_path() / "vobcast-pass-XXXXXX").string();
        const int fd = ::mkstemp(name.data());
        if (fd < 0) return;
        ::close(fd);
        path = name;
    }
    ~StatsFile() {
        if (!path.empty()) ::unlink(path.c_str());
    }
    StatsFile(const StatsFile&) = delete;
    StatsFile& operator=(const StatsFile&) = delete;
};

} // namespace

int ConvertOne(const Options& o, const std::string& source, const std::string& destination, std::ostream& out,
               std::ostream& err) {
    EngineBinding engine;
    Answer answer;
    answer.index = ChooseCompressor(engine, o, err);
    if (answer.index < 0) return 2;
    answer.keyFrames = o.keyFrames;
    answer.bitrateKbps = o.bitrateKbps;
    Messages messages;
    messages.err = &err;
    engine.SetChooser(OnChooser, &answer);
    engine.SetMessageSink(OnMessage, &messages);

    // The engine forgets what it reads of the source when a conversion ends;
    // each pass chooses it again.
    VobcastCrop crop{static_cast<std::int32_t>(o.crop[0]), static_cast<std::int32_t>(o.crop[1]),
                     static_cast<std::int32_t>(o.crop[2]), static_cast<std::int32_t>(o.crop[3]), 0, 0, 0};
    const auto choose = [&] {
        if (engine.ChooseSource(static_cast<std::int32_t>(o.title), static_cast<std::int32_t>(o.audioStream)) != 0) {
            err << "vobcast-convert: title " << o.title << " or audio stream " << o.audioStream << " can't be chosen\n";
            return false;
        }
        if (engine.ChooseAngle(static_cast<std::int32_t>(o.angle)) != 0) {
            err << "vobcast-convert: angle " << o.angle << " can't be chosen\n";
            return false;
        }
        if (engine.ChoosePictures(static_cast<std::int32_t>(o.deinterlace), static_cast<std::int32_t>(o.detelecine)) != 0) {
            err << "vobcast-convert: the engine can't be told how to make the pictures progressive\n";
            return false;
        }
        if (engine.ChooseSubtitles(static_cast<std::int32_t>(o.subtitleStream), o.forcedSubtitles) != 0) {
            err << "vobcast-convert: subpicture stream " << o.subtitleStream << " can't be chosen\n";
            return false;
        }
        if (engine.ChooseCrop(crop.top, crop.bottom, crop.left, crop.right) != 0) {
            err << "vobcast-convert: the crop can't be chosen\n";
            return false;
        }
        return true;
    };
    if (!choose()) return 2;
    if (o.cropAuto) {
        if (!engine.FindCrop(source, crop)) {
            err << "vobcast-convert: " << source << ": no picture could be decoded to find black bars; the pictures stay whole\n";
            crop = VobcastCrop{};
        } else {
            out << "crop " << crop.top << " " << crop.bottom << " " << crop.left << " " << crop.right << " " << crop.width
                << " " << crop.height << " " << crop.pictures << "\n" << std::flush;
        }
        if (!choose()) return 2;
    } else if (crop.top + crop.bottom + crop.left + crop.right > 0) {
        // A crop by hand must leave a picture; the pictures' size is read from a few of them.
        VobcastCrop size{};
        constexpr int kLeast = 16;
        if (engine.FindCrop(source, size) &&
            (crop.top + crop.bottom > size.height - kLeast || crop.left + crop.right > size.width - kLeast)) {
            const std::string cause = "--crop cuts more than its " + std::to_string(size.width) + "x" +
                                      std::to_string(size.height) + " pictures leave (at least " +
                                      std::to_string(kLeast) + " rows and columns must stay)";
            out << "cause " << cause << "\n" << std::flush;
            return 1;
        }
    }
    if (o.sizeMB > 0) {
        VobcastSourceInfo info{};
        if (engine.DescribeSource(source, info)) {
            if (const std::string small = plan::SizeTooSmall(o.sizeMB, info.seconds); !small.empty()) {
                out << "cause " << small << "\n" << std::flush;
                return 1;
            }
            // The rate the first pass measures near, and the one the file's
            // header names.
            if (info.seconds > 0) answer.bitrateKbps = std::lround(plan::VideoKbps(o.sizeMB, info.seconds));
        }
    }

    // The file size limit ends a process by default; here it is a write error
    // that the engine reports like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    g_interrupted = false;
    auto* previous_int = std::signal(SIGINT, OnInterrupt);
    auto* previous_term = std::signal(SIGTERM, OnInterrupt);

    int status = 0;
    if (o.sizeMB > 0) {
        // The first pass writes only its measure; the second the file.
        StatsFile stats;
        if (stats.path.empty()) {
            err << "vobcast-convert: no temporary file for the first pass: " << std::strerror(errno) << "\n";
            status = 2;
        } else {
            engine.ChooseSize(1, stats.path, 0);
            status = RunEngine(engine, source, "/dev/null", messages, 0, plan::kFirstPassPercent, out);
            if (status == 0 && choose()) {
                engine.ChooseSize(2, stats.path, static_cast<std::int64_t>(o.sizeMB * 1e6));
                status = RunEngine(engine, source, destination, messages, plan::kFirstPassPercent, 100, out);
            } else if (status == 0) {
                status = 2;
            }
        }
    } else {
        status = RunEngine(engine, source, destination, messages, 0, 100, out);
    }
    if (status == 1) {
        // Read the source again only to say why it failed.
        engine.ChooseSource(static_cast<std::int32_t>(o.title), static_cast<std::int32_t>(o.audioStream));
        VobcastSourceInfo info{};
        if (engine.DescribeSource(source, info)) {
            if (const std::string cause = PlainCause(info, messages.text); !cause.empty())
                out << "cause " << cause << "\n" << std::flush;
        }
    }
    std::signal(SIGINT, previous_int);
    std::signal(SIGTERM, previous_term);
    engine.SetMessageSink(nullptr, nullptr);
    engine.SetChooser(nullptr, nullptr);
    return status;
}

} // namespace vobcast::cli
