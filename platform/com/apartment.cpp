#include "apartment.h"

#include <mutex>

namespace com {
namespace {
thread_local int t_inits = 0;
ProcessInitHook g_hook = nullptr;
std::once_flag g_once;
} // namespace

HRESULT CoInitialize() {
    if (g_hook) std::call_once(g_once, g_hook);
    return t_inits++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_inits > 0) --t_inits;
}

int InitCount() { return t_inits; }

void SetProcessInitHook(ProcessInitHook hook) { g_hook = hook; }

} // namespace com
