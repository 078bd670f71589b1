#include "api/last_error.h"

#include <atomic>

namespace lumbrex {
namespace {
// One plain 32-bit variable shared by all threads, not per thread; atomic only
// so that concurrent stores are not a data race in C++ terms.
std::atomic<uint32_t> g_lastError{0};
}  // namespace

void SetLastErrorCode(uint32_t code) { g_lastError.store(code, std::memory_order_relaxed); }
uint32_t LastErrorCode() { return g_lastError.load(std::memory_order_relaxed); }

}  // namespace lumbrex
