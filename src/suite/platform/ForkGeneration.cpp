#include "suite/platform/ForkGeneration.h"

#include <pthread.h>

#include <atomic>

namespace locmail {
namespace {

std::atomic<unsigned> g_generation{0};

void InChild() { g_generation.fetch_add(1, std::memory_order_relaxed); }

} // namespace

unsigned ForkGeneration()
{
    static const int registered = ::pthread_atfork(nullptr, nullptr, InChild);
    (void)registered;
    return g_generation.load(std::memory_order_relaxed);
}

} // namespace locmail
