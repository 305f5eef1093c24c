#include "apartment.h"

namespace com {
namespace {
// In the static block glibc keeps for libraries loaded at run time: the
// dynamic one, reached through __tls_get_addr, is misread by LeakSanitizer's
// thread scan (gcc 12), which then fails the process at exit.
__attribute__((tls_model("initial-exec"))) thread_local int t_inits = 0;
} // namespace

HRESULT CoInitialize() { return t_inits++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (t_inits > 0) --t_inits;
}

int InitCount() { return t_inits; }

} // namespace com
