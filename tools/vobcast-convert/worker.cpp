#include "worker.h"

#include "conversion_steps.h"

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
int RunEngine(EngineCalls& engine, const std::string& source, const std::string& destination, Messages& messages,
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

} // namespace

int ConvertOne(const Options& o, const std::string& source, const std::string& destination, std::ostream& out,
               std::ostream& err) {
    BoundEngine engine;
    EngineBinding& binding = engine.Binding();
    Answer answer;
    answer.index = ChooseCompressor(binding, o, err);
    if (answer.index < 0) return 2;
    answer.keyFrames = o.keyFrames;
    answer.bitrateKbps = o.bitrateKbps;
    Messages messages;
    messages.err = &err;
    binding.SetChooser(OnChooser, &answer);
    binding.SetMessageSink(OnMessage, &messages);

    plan::ConversionChoices choices;
    choices.title = static_cast<int>(o.title);
    choices.angle = static_cast<int>(o.angle);
    choices.audioStream = static_cast<int>(o.audioStream);
    choices.subtitleStream = static_cast<int>(o.subtitleStream);
    choices.forcedSubtitles = o.forcedSubtitles;
    choices.deinterlace = static_cast<int>(o.deinterlace);
    choices.detelecine = static_cast<int>(o.detelecine);
    choices.cropAuto = o.cropAuto;
    for (std::size_t i = 0; i < choices.crop.size(); ++i) choices.crop[i] = static_cast<int>(o.crop[i]);
    choices.sizeMB = o.sizeMB;
    plan::ConversionSteps steps(engine, source, choices);
    const plan::ConversionSteps::Prepared prepared = steps.Prepare();
    if (!prepared.note.empty()) err << "vobcast-convert: " << prepared.note << "\n";
    // The crop found is said even when the size then can't be reached.
    if (steps.CropFound()) {
        const VobcastCrop& crop = steps.Crop();
        out << "crop " << crop.top << " " << crop.bottom << " " << crop.left << " " << crop.right << " " << crop.width
            << " " << crop.height << " " << crop.pictures << "\n" << std::flush;
    }
    switch (prepared.outcome) {
    case plan::ConversionSteps::Outcome::CantAsk:
        err << "vobcast-convert: " << prepared.text << "\n";
        return 2;
    case plan::ConversionSteps::Outcome::Refused:
        out << "cause " << prepared.text << "\n" << std::flush;
        return 1;
    case plan::ConversionSteps::Outcome::Ready:
        break;
    }
    if (steps.SizeKbps() > 0) answer.bitrateKbps = steps.SizeKbps();

    // The file size limit ends a process by default; here it is a write error
    // that the engine reports like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    g_interrupted = false;
    auto* previous_int = std::signal(SIGINT, OnInterrupt);
    auto* previous_term = std::signal(SIGTERM, OnInterrupt);

    int status = 0;
    for (int pass = 1; pass <= steps.Passes() && status == 0; ++pass) {
        std::string problem;
        const std::string writes = steps.BeginPass(pass, destination, problem);
        if (writes.empty()) {
            err << "vobcast-convert: " << problem << "\n";
            status = 2;
            break;
        }
        status = RunEngine(engine, source, writes, messages, steps.Percent(pass, 0), steps.Percent(pass, 100), out);
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
    binding.SetMessageSink(nullptr, nullptr);
    binding.SetChooser(nullptr, nullptr);
    return status;
}

} // namespace vobcast::cli
