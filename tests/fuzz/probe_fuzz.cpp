// The splitter's stream probe on any VOB: the pack scan (scrambling bits, the
// clock sampled across the file) and the demultiplexer's first seconds with
// the picture-header scan behind it, as DoInit runs them.
#include "platform/media/pack_scan.h"
#include "platform/media/stream_probe.h"

#include "scratch_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string g_file;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = ScratchFile("probe-fuzz", "fuzz.vob");
    media::EnsureGstInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(g_file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const media::PackScan packs = media::ScanPacks(g_file);
    if (packs.scrambledPackets > packs.packetsRead) std::abort();
    const media::ProbeResult probe = media::ProbeProgramStream(g_file);
    if (probe.ok && probe.streams.empty()) std::abort();
    return 0;
}
