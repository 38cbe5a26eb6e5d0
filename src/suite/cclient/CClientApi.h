// Internal to src/suite/cclient: the one place that includes c-client.h.
//
// Include it LAST in a .cpp of this folder, after every standard and project
// header: c-client's headers define macros with common names (T, min, max,
// write, flock, ...) and feature-test macros that must not reach other headers.
// The worst of the macros are undone below; NIL and the mm_log levels stay.
// Never include this from a header.
#pragma once

#include <mutex>

#include <c-client.h>

#undef T
#undef min
#undef max
#undef write
#undef flock
#undef direct
#undef setpgrp

namespace locmail::cclient::detail {

// c-client keeps process-wide state (parameters, a lazily computed year limit);
// every call into it that parses or writes takes this lock. Defined beside the
// mm_* callbacks so that any use of the parsers also links the callbacks in.
std::unique_lock<std::mutex> LockLibrary();

} // namespace locmail::cclient::detail
