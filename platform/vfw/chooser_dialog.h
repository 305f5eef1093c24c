// The compressor chooser as a Qt dialog (needs a QApplication). It is built
// into the plugin libvfw-qt.so, which ICCompressorChoose loads in a Qt program.
#pragma once

#include "compressor.h"

namespace vfw {

// Modal over the window whose native id is request.owner (none if unknown).
ChooserAnswer RunChooserDialog(const ChooserRequest& request, const char* title);

} // namespace vfw
