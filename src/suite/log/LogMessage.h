// The suite's log: one line per call, with time, process id, level, module and text.
//
// Levels: 1 error, 2 warning, 5 progress, 6 outcome; a level above 6 is written
// as 6. A line longer than 8191 characters is cut there. Lines whose level is above
// the threshold are dropped before they are formatted. Until OpenLogFile is called
// the log goes to standard error. Thread-safe, except where told.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

void LogMessage(int level, const char* module, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

namespace locmail::log {

inline constexpr std::size_t kMaxLine = 8192;
inline constexpr int kMaxLevel = 6;

void VLogMessage(int level, const char* module, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Writes a preformatted text; trailing line ends are dropped (callers often pass "...\n").
void Write(int level, std::string_view module, std::string_view text);

// Sends the log to DIRECTORY/locmail.log (appending), keeping levels up to THRESHOLD.
// Returns false, leaving the current sink, when the file cannot be opened.
bool OpenLogFile(const std::string& directory, int threshold);

// Opens the log file again by its name, so that lines go to a new file after the
// old one was renamed (log rotation). Returns false, leaving the current sink,
// when it cannot be opened; true, doing nothing, when the log is not a file.
// Other threads may write meanwhile (ReopenableFileSink.h).
bool ReopenLogFile();

// Sends the log to syslog's mail facility (ident "locmail"), keeping levels up to THRESHOLD.
void OpenSyslog(int threshold);

void SetThreshold(int threshold);
int Threshold();

} // namespace locmail::log
