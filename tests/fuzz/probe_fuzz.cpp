// The splitter's stream probe on any VOB: the pack scan (scrambling bits, the
// clock sampled across the file) and the demultiplexer's first seconds with
// the picture-header scan behind it, as DoInit runs them.
#include "platform/media/source/pack_scan.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/source/stream_probe.h"

#include "temp_folder.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string g_file;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = testing_support::ScratchFile("fuzz.vob");
    media::EnsureGstInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing_support::WriteFile(g_file, std::string_view(reinterpret_cast<const char*>(data), size));
    std::string error;
    const auto bytes = media::OpenSourceBytes({g_file}, error);
    if (!bytes) std::abort();
    const media::PackScan packs = media::ScanPacks(*bytes);
    if (packs.scrambledPackets > packs.packetsRead) std::abort();
    const media::ProbeResult probe = media::ProbeProgramStream({g_file});
    if (probe.ok && probe.streams.empty()) std::abort();
    return 0;
}
