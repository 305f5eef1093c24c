// Running, stopping and measuring a built conversion.
#pragma once

#include "conversion_state.h"

#include <cstdint>

namespace vobcast {

// DoInit's last steps: take the multiplexer's seeking interface (its status is
// returned) and record the stream's duration (a failure there is shown only).
HRESULT QuerySeeking();
void RecordDuration();

HRESULT Start();
HRESULT Stop();
std::int64_t CurrentPos();

} // namespace vobcast
