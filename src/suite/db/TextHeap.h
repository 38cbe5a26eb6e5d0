// The large-text heap of a relation: the NAME.str file beside NAME.db.
//
// Texts too long to sit well in a SQLite row (large envelopes and body
// structures) are appended here and the row keeps only their offset and
// length; SQLite then never copies them through its WAL and again into the
// database file. The file starts with a 16-byte header (kHeapHeader); each text
// is stored as an 8-byte record header (magic "LMTX", length as 32-bit little
// endian) followed by the bytes.
//
// Contract: the heap is append-only. Append is atomic with respect to other
// appenders (O_APPEND), so it needs no lock of its own; bytes that no row
// points to (a crashed filing, a removed message) are dead space until the heap
// is rewritten. Read checks the record header against the expected length, so
// a row that points at torn or missing bytes is an error, never garbage text.
// Failure modes: Append returns false with errno set (open or write failed);
// Read returns false when the file cannot be read or the record does not match.
#pragma once

#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace locmail::db {

inline constexpr std::string_view kHeapHeader{"LOCMAIL HEAP v1\n", 16};

class TextHeap {
public:
    explicit TextHeap(std::string path) : path_(std::move(path)) {}

    [[nodiscard]] bool Append(std::string_view text, std::uint64_t& offset);
    [[nodiscard]] bool Read(std::uint64_t offset, std::uint32_t length, std::string& out);

    const std::string& path() const { return path_; }

    // The template contents of a new, empty heap file.
    static std::string EmptyHeap() { return std::string(kHeapHeader); }

private:
    bool OpenForAppend();

    std::string path_;
    UniqueFd append_;
    UniqueFd read_;
};

} // namespace locmail::db
