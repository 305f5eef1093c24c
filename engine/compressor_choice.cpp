#include "compressor_choice.h"

#include "messages.h"

#include "platform/com/text.h"
#include "platform/vfw/compressor.h"

#include <algorithm>
#include <cstring>

namespace vobcast {

HRESULT CompressorNameStep(std::uintptr_t window, std::int32_t flag, std::string& name,
                           CompressorSettings& settings) {
    ConversionState& s = State();
    if (flag == 0) {
        char16_t chosen[128] = {};
        CompressorSettings picked;
        if (FAILED(ChooseCompressor(window, chosen, 127, picked))) return E_NO_COMPRESSOR;
        const std::string ansi = com::WideToAnsi(chosen);
        // A description that fits in characters can still need more bytes than
        // the name holds; it is refused like an over-long one.
        if (ansi.size() >= sizeof s.compressorName) {
            msg::Show(msg::kNameTooLong);
            return E_NO_COMPRESSOR;
        }
        std::memset(s.compressorName, 0, sizeof s.compressorName);
        std::memcpy(s.compressorName, ansi.data(), ansi.size());
        s.compressorSettings = picked;
        name = ansi;
        settings = picked;
        return S_OK;
    }
    if (flag == 1) {
        name.assign(s.compressorName, strnlen(s.compressorName, sizeof s.compressorName));
        settings = s.compressorSettings;
        return S_OK;
    }
    msg::Show(msg::kBadFlag);
    return E_FAIL;
}

HRESULT ChooseCompressor(std::uintptr_t window, char16_t* name, std::size_t capacity, CompressorSettings& settings) {
    vfw::CompVars vars{};
    vars.cbSize = sizeof vars;
    if (!vfw::ICCompressorChoose(window, vfw::ICMF_CHOOSE_KEYFRAME | vfw::ICMF_CHOOSE_DATARATE, &vars, nullptr))
        return E_NO_COMPRESSOR;

    vfw::IcInfo info{};
    vfw::ICGetInfo(vars.hic, &info, sizeof info);
    settings.keyFrames = vars.lKey;
    settings.dataRateKbps = vars.lDataRate;
    vfw::ICCompressorChooseFree(&vars);

    if (info.fccType != vfw::ICTYPE_VIDEO) {
        msg::Show(msg::kNotACompressor);
        return E_NO_COMPRESSOR;
    }
    const char16_t* end = std::find(std::begin(info.szDescription), std::end(info.szDescription), u'\0');
    const auto length = static_cast<std::size_t>(end - info.szDescription);
    if (length > capacity) {
        msg::Show(msg::kNameTooLong);
        return E_NO_COMPRESSOR;
    }
    std::copy(static_cast<const char16_t*>(info.szDescription), end, name);
    name[length] = u'\0';
    return S_OK;
}

} // namespace vobcast
