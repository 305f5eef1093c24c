#include "converter.h"

#include "engine_binding.h"

#include "platform/ui/message_box.h"
#include "platform/vfw/compressor.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

namespace vobcast::cli {
namespace {

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

bool ParseNumber(const std::string& text, long& value) {
    try {
        std::size_t used = 0;
        value = std::stol(text, &used);
        return used == text.size() && value > 0;
    } catch (...) {
        return false;
    }
}

int FindCompressor(const std::vector<vfw::CompressorListing>& compressors, const std::string& wanted) {
    for (std::size_t i = 0; i < compressors.size(); ++i)
        if (compressors[i].description == wanted) return static_cast<int>(i);
    return -2;
}

void DrawProgress(std::ostream& out, bool terminal, long percent, long& last) {
    if (percent == last) return;
    last = percent;
    if (terminal) {
        constexpr int kWidth = 40;
        const int filled = static_cast<int>(percent * kWidth / 100);
        out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << percent << "%" << std::flush;
    } else {
        out << percent << "%\n" << std::flush;
    }
}

} // namespace

std::string Usage() {
    return "Usage: vobcast-convert [OPTION]... SOURCE.VOB DEST.avi\n"
           "Convert a DVD video file into an AVI file (MPEG-2 video re-encoded with a\n"
           "video compressor of your choice, AC-3 audio as Windows Media Audio V2).\n"
           "\n"
           "  --compressor NAME    video compressor, by description (default: the first)\n"
           "  --list-compressors   print the installed video compressors and exit\n"
           "  --bitrate KBPS       video data rate in kbit/s (default: 1800)\n"
           "  --keyint N           a key frame at least every N frames (default: 250)\n"
           "  -h, --help           show this help and exit\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--list-compressors") {
            o.listCompressors = true;
        } else if (a == "--compressor") {
            if (!value(o.compressor)) return false;
        } else if (a == "--bitrate" || a == "--keyint") {
            if (!value(v)) return false;
            long n = 0;
            if (!ParseNumber(v, n)) {
                error = a + " takes a positive whole number, not \"" + v + "\"";
                return false;
            }
            (a == "--bitrate" ? o.bitrateKbps : o.keyFrames) = n;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            error = "unknown option " + a;
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (o.help || o.listCompressors) return true;
    if (files.size() != 2) {
        error = "give one source file and one destination file";
        return false;
    }
    o.source = files[0];
    o.destination = files[1];
    return true;
}

int Run(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.help) {
        out << Usage();
        return 0;
    }
    const auto compressors = vfw::InstalledCompressors();
    if (o.listCompressors) {
        for (const auto& c : compressors) out << c.description << "\n";
        return 0;
    }
    const int index = o.compressor.empty() ? 0 : FindCompressor(compressors, o.compressor);
    if (index < 0 || compressors.empty()) {
        err << "vobcast-convert: no video compressor \"" << o.compressor << "\"; installed are:\n";
        for (const auto& c : compressors) err << "  " << c.description << "\n";
        return 2;
    }
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
        err << "vobcast-convert: " << text << (text.ends_with('\n') ? "" : "\n") << std::flush;
    });

    // The file size limit ends a process by default; here it is a write error
    // that the engine reports like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    g_interrupted = false;
    auto* previous = std::signal(SIGINT, OnInterrupt);

    EngineBinding engine;
    const bool terminal = &out == &std::cout && ::isatty(STDOUT_FILENO);
    int status = 0;
    if (engine.DoInit(0, o.source, o.destination, 0) != 0) {
        if (!engine.Loaded()) err << "vobcast-convert: " << engine.LoadError() << "\n";
        status = 1;
    } else {
        engine.StartComp();
        long last = -1;
        for (;;) {
            const long percent = static_cast<long>(static_cast<std::int32_t>(engine.GetCurrentPos()));
            if (percent >= 0) DrawProgress(out, terminal, percent, last);
            if (percent == 100) break;
            // Once a second, as the program polls; an interrupt ends the wait early.
            for (int i = 0; i < 20 && !g_interrupted; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (g_interrupted) break;
        }
        if (terminal) out << "\n";
        engine.StopComp();
        if (g_interrupted) {
            err << "vobcast-convert: interrupted; kept the part written so far in " << o.destination << "\n";
            status = 130;
        } else if (failed) {
            status = 1;
        } else {
            out << "Wrote " << o.destination << "\n";
        }
    }
    engine.DoUninit();
    std::signal(SIGINT, previous);
    ui::SetMessageSink(nullptr);
    vfw::SetChooserHook(nullptr);
    return status;
}

} // namespace vobcast::cli
