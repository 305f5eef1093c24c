// Which video compressor a conversion uses: chosen by the user for the first
// file of a run (flag 0), remembered for the others (flag 1).
#pragma once

#include "conversion_state.h"

#include <cstdint>
#include <string>

namespace vobcast {

// The name to look up in the video compressor category, and the settings to
// give that compressor. S_OK, E_FAIL or E_NO_COMPRESSOR.
HRESULT CompressorNameStep(std::uintptr_t window, std::int32_t flag, std::string& name,
                           CompressorSettings& settings);

// Shows the chooser and copies the chosen compressor's description into name
// (capacity characters at most, plus the terminator). S_OK or E_NO_COMPRESSOR.
HRESULT ChooseCompressor(std::uintptr_t window, char16_t* name, std::size_t capacity, CompressorSettings& settings);

} // namespace vobcast
