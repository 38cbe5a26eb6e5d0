// How long a service sleeps when its channel has nothing to do now: until the
// first deferred entry is due, at least a second (so that entries retried at
// once cannot make it spin) and at most kIdleWakeMs (so that it walks now and
// then even without events). Failure modes: none.
#pragma once

namespace locmail::host {

inline constexpr int kIdleWakeMs = 30'000;

int IdleWaitMs();

} // namespace locmail::host
