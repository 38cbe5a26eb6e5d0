// Bounds on what a filter file may ask for, so that no script can exhaust the
// delivery process. Each one, when passed, is a script error with its own text.
#pragma once

#include <cstddef>

namespace locmail::mailsort {

inline constexpr std::size_t kMaxScriptBytes = 1024 * 1024;
inline constexpr std::size_t kMaxStringBytes = 64 * 1024;
// Blocks and tests inside one another, counted together.
inline constexpr int kMaxNesting = 32;
// Action commands in the whole script; Sieve has no loops, so this bounds the
// actions one run can take.
inline constexpr int kMaxActions = 1000;
// Items of one string list.
inline constexpr std::size_t kMaxListItems = 1000;
// What the agent's folder buffer holds (240 characters) and what a msgdest
// argument holds (1023).
inline constexpr std::size_t kMaxFolderLength = 240;
inline constexpr std::size_t kMaxArgumentLength = 1023;
inline constexpr std::size_t kMaxUserNameLength = 240;
// Errors one check reports before it gives up on a text.
inline constexpr std::size_t kMaxReportedErrors = 50;

} // namespace locmail::mailsort
