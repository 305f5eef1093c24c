#include "worker.h"

#include "engine_binding.h"

#include "platform/media/source_info.h"
#include "platform/ui/message_box.h"
#include "platform/vfw/compressor.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <ostream>
#include <thread>

namespace vobcast::cli {
namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

} // namespace

std::string PlainCause(const media::SourceInfo& info, const std::string& messages) {
    if (messages.find("No space left on device") != std::string::npos ||
        messages.find("File too large") != std::string::npos)
        return "the disk is full";
    if (info.encrypted) return "is encrypted (CSS) and must be decrypted first";
    if (!info.programStream) return "is not an MPEG program stream";
    if (!info.hasVideo) return "has no MPEG video";
    if (!info.hasAc3) {
        std::string found;
        for (const std::string& format : info.audio) found += (found.empty() ? "" : ", ") + format;
        return "has no AC-3 audio (found: " + (found.empty() ? std::string("no audio") : found) + ")";
    }
    return {};
}

int ListCompressors(std::ostream& out) {
    for (const auto& c : vfw::InstalledCompressors()) out << c.description << "\n";
    return 0;
}

int ChooseCompressor(const Options& o, std::ostream& err) {
    const auto compressors = vfw::InstalledCompressors();
    if (o.compressor.empty() && !compressors.empty()) return 0;
    for (std::size_t i = 0; i < compressors.size(); ++i)
        if (compressors[i].description == o.compressor) return static_cast<int>(i);
    err << "vobcast-convert: no video compressor \"" << o.compressor << "\"; installed are:\n";
    for (const auto& c : compressors) err << "  " << c.description << "\n";
    return -1;
}

int ConvertOne(const Options& o, const std::string& source, const std::string& destination, std::ostream& out,
               std::ostream& err) {
    const int index = ChooseCompressor(o, err);
    if (index < 0) return 2;
    vfw::SetChooserHook([&](const vfw::ChooserRequest&) {
        vfw::ChooserAnswer answer;
        answer.accepted = true;
        answer.index = index;
        if (o.keyFrames > 0) answer.keyFrames = o.keyFrames;
        if (o.bitrateKbps > 0) answer.dataRateKbps = o.bitrateKbps;
        return answer;
    });
    bool failed = false;
    std::string messages;
    ui::SetMessageSink([&](std::string_view text) {
        failed = failed || text.starts_with("Error : ");
        messages += text;
        // The engine traces each pin it connects; only its errors matter here.
        if (text.starts_with("Direct connect succeeded")) return;
        err << text << (text.ends_with('\n') ? "" : "\n") << std::flush;
    });

    // The file size limit ends a process by default; here it is a write error
    // that the engine reports like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    g_interrupted = false;
    auto* previous_int = std::signal(SIGINT, OnInterrupt);
    auto* previous_term = std::signal(SIGTERM, OnInterrupt);

    const media::SourceInfo info = media::DescribeSource(source);
    if (info.seconds > 0) out << "duration " << info.seconds << "\n" << std::flush;

    EngineBinding engine;
    int status = 0;
    if (engine.DoInit(0, source, destination, 0) != 0) {
        if (!engine.Loaded()) err << engine.LoadError() << "\n";
        status = 1;
    } else {
        engine.StartComp();
        long last = -1;
        for (;;) {
            // The engine gives a percentage in the low 32 bits.
            const long percent = static_cast<std::int32_t>(engine.GetCurrentPos());
            if (percent >= 0 && percent != last) {
                out << "progress " << percent << "\n" << std::flush;
                last = percent;
            }
            if (percent == 100 || g_interrupted || failed) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        engine.StopComp();
        if (g_interrupted) status = 130;
        else if (failed) status = 1;
    }
    engine.DoUninit();
    if (status == 1) {
        if (const std::string cause = PlainCause(info, messages); !cause.empty())
            out << "cause " << cause << "\n" << std::flush;
    }
    std::signal(SIGINT, previous_int);
    std::signal(SIGTERM, previous_term);
    ui::SetMessageSink(nullptr);
    vfw::SetChooserHook(nullptr);
    return status;
}

} // namespace vobcast::cli
