// Per-thread COM initialisation (CoInitialize / CoUninitialize).
//
// Each thread counts its own initialisations. The first one on a thread also
// brings up the media framework; nothing is torn down at the last one, as the
// framework lives as long as the process.
#pragma once

#include "hresult.h"

namespace com {

// S_OK for the first initialisation on this thread, S_FALSE for every further one.
HRESULT CoInitialize();
// Undoes one CoInitialize on this thread; does nothing on a thread that holds none.
void CoUninitialize();
// How many initialisations this thread holds now.
int InitCount();

// Called by the first CoInitialize of the process (the media layer registers gst_init here).
using ProcessInitHook = void (*)();
void SetProcessInitHook(ProcessInitHook hook);

} // namespace com
