#include "unknown.h"

namespace com {
namespace {
std::atomic<long> g_live{0};
}

Unknown::Unknown() { g_live.fetch_add(1, std::memory_order_relaxed); }

Unknown::~Unknown() { g_live.fetch_sub(1, std::memory_order_relaxed); }

long Unknown::Release() noexcept {
    const long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

long LiveObjects() noexcept { return g_live.load(std::memory_order_relaxed); }

} // namespace com
