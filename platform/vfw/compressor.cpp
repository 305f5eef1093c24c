#include "compressor.h"


#include "platform/com/text.h"
#include "platform/media/filters/catalogue.h"
#include "platform/ui/qt_plugin.h"

#include <algorithm>
#include <cstring>

namespace vfw {

struct Compressor {
    std::u16string description;
    std::uint32_t fccHandler = 0;
};

namespace {

ChooserHook& Hook() {
    static ChooserHook hook;
    return hook;
}

std::uint32_t FourCC(const std::string& s) {
    return s.size() == 4 ? MakeFourCC(s[0], s[1], s[2], s[3]) : 0;
}

} // namespace

std::vector<CompressorListing> InstalledCompressors() {
    std::vector<CompressorListing> out;
    for (const auto& entry : media::Catalogue::Instance().Entries(media::Category::VideoCompressor))
        out.push_back({com::WideToAnsi(entry.friendlyName), entry.encoder ? entry.encoder->fourcc : ""});
    return out;
}

void SetChooserHook(ChooserHook hook) { Hook() = std::move(hook); }

ChooserAnswer DefaultAnswer(const ChooserRequest& request) {
    ChooserAnswer answer;
    answer.accepted = !request.compressors.empty();
    return answer;
}

bool ICCompressorChoose(std::uintptr_t owner, std::uint32_t flags, CompVars* cv, const char* title) {
    if (!cv) return false;
    ChooserRequest request;
    request.owner = owner;
    request.compressors = InstalledCompressors();
    request.keyFrameControl = flags & ICMF_CHOOSE_KEYFRAME;
    request.dataRateControl = flags & ICMF_CHOOSE_DATARATE;

    ChooserAnswer answer;
    using Dialog = int (*)(const ChooserRequest*, const char*, ChooserAnswer*);
    auto* dialog = reinterpret_cast<Dialog>(ui::QtPluginSymbol("libvfw-qt.so", "VfwQtChooserDialog"));
    if (ChooserHook hook = Hook())
        answer = hook(request);
    else if (dialog == nullptr || dialog(&request, title, &answer) == 0)
        answer = DefaultAnswer(request);
    if (!answer.accepted) return false;

    cv->dwFlags |= ICMF_COMPVARS_VALID;
    cv->hic = nullptr;
    cv->fccType = ICTYPE_VIDEO;
    cv->fccHandler = 0;
    cv->lKey = request.keyFrameControl ? static_cast<std::int32_t>(answer.keyFrames) : 0;
    cv->lDataRate = request.dataRateControl ? static_cast<std::int32_t>(answer.dataRateKbps) : 0;
    if (answer.index >= 0 && answer.index < static_cast<int>(request.compressors.size())) {
        const CompressorListing& chosen = request.compressors[static_cast<std::size_t>(answer.index)];
        cv->hic = new Compressor{com::AnsiToWide(chosen.description), FourCC(chosen.fourcc)};
        cv->fccHandler = cv->hic->fccHandler;
    }
    return true;
}

std::uint32_t ICGetInfo(Hic hic, IcInfo* info, std::uint32_t cb) {
    if (!hic || !info || cb < sizeof(IcInfo)) return 0;
    info->dwSize = sizeof(IcInfo);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = hic->fccHandler;
    // Like a driver's copy, the description fills the field: a description of
    // 128 characters or more leaves it without a terminator, which readers
    // must bound themselves.
    std::fill(std::begin(info->szDescription), std::end(info->szDescription), u'\0');
    const std::size_t n = std::min(hic->description.size(), std::size(info->szDescription));
    std::copy_n(hic->description.data(), n, info->szDescription);
    const std::size_t m = std::min<std::size_t>(hic->description.size(), 15);
    std::copy_n(hic->description.data(), m, info->szName);
    info->szName[m] = u'\0';
    return sizeof(IcInfo);
}

void ICCompressorChooseFree(CompVars* cv) {
    if (!cv) return;
    delete cv->hic;
    cv->hic = nullptr;
    cv->dwFlags &= ~ICMF_COMPVARS_VALID;
}

} // namespace vfw
