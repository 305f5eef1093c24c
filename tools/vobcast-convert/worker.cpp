#include "worker.h"

#include "engine_binding.h"

#include "platform/media/duration.h"
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
    ui::SetMessageSink([&](std::string_view text) {
        failed = failed || text.starts_with("Error : ");
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

    if (const double seconds = media::ProgramStreamSeconds(source); seconds > 0)
        out << "duration " << seconds << "\n" << std::flush;

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
    std::signal(SIGINT, previous_int);
    std::signal(SIGTERM, previous_term);
    ui::SetMessageSink(nullptr);
    vfw::SetChooserHook(nullptr);
    return status;
}

} // namespace vobcast::cli
