#include "apartment.h"

namespace com {
namespace {
thread_local int t_inits = 0;
} // namespace

HRESULT CoInitialize() { return t_inits++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (t_inits > 0) --t_inits;
}

int InitCount() { return t_inits; }

} // namespace com
