// Per-thread COM initialisation (CoInitialize / CoUninitialize).
//
// Each thread counts its own initialisations. The media framework comes up
// with the first graph the media layer makes and lives as long as the process.
#pragma once

#include "hresult.h"

namespace com {

// S_OK for the first initialisation on this thread, S_FALSE for every further one.
HRESULT CoInitialize();
// Undoes one CoInitialize on this thread; does nothing on a thread that holds none.
void CoUninitialize();
// How many initialisations this thread holds now.
int InitCount();

} // namespace com
