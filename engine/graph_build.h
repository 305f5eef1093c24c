// Finding, adding, attaching and connecting the eight filters of a conversion.
#pragma once

#include "conversion_state.h"

#include <cstdint>
#include <string>

namespace vobcast {

HRESULT AddFilters(std::uintptr_t window, std::int32_t flag);
HRESULT FindFilter(media::Category category, const std::string& wanted, ComPtr<media::IBaseFilter>& destination);
HRESULT AttachFiles(const char* source, const char* destination);
HRESULT ConnectFilters();
HRESULT ConnectPins(media::IBaseFilter* outFilter, const char* outPin, media::IBaseFilter* inFilter,
                    const char* inPin);
HRESULT FindPin(media::IBaseFilter* filter, media::PinDirection direction, const char* wanted,
                ComPtr<media::IPin>& pin);

} // namespace vobcast
