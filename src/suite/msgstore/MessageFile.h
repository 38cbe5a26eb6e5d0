// The store's copy of a message: FOLDERDIR/UID (decimal, no extension) holding
// the six bytes 11 00 00 00 0D 0A and then the message text byte for byte.
//
// Contract: WriteMessageFile creates or truncates the file (mode 0600) and
// writes the prefix and the text; it does not sync: the caller marks the
// folder directory for the next sync point (locmail::db::SyncPoint), which
// makes the file and its directory entry durable with the relations' commits.
// A file it opened but could not finish is removed; one it could not open
// (a directory or a link in the way) is left alone. ReadMessageFile returns the text
// after the prefix.
// Failure modes: false with errno set (open, write or close failed; EILSEQ
// when a file read back does not start with the prefix).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace locmail::msgstore {

inline constexpr std::string_view kMessagePrefix{"\x11\x00\x00\x00\r\n", 6};

std::string MessageFilePath(std::string_view folderDir, std::uint32_t uid);

// BETWEEN, when given, runs after the prefix is written and before the text
// (the filing's MessageFileText step, FilingStep.h); false fails the write
// there with EIO.
[[nodiscard]] bool WriteMessageFile(const std::string& path, std::string_view text,
                                    const std::function<bool()>& between = {});
[[nodiscard]] bool ReadMessageFile(const std::string& path, std::string& text);

} // namespace locmail::msgstore
