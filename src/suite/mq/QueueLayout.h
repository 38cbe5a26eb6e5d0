// The queue directory and the names inside it:
//   QUEUE/entries/ID.msg, ID.env   committed entries
//   QUEUE/channels/NAME/ID         marker: entry ID is on channel NAME
//   QUEUE/tmp/ID.msg, ID.env       entries being built
//   QUEUE/corrupt/                 damaged entries, moved aside by the walk
//   QUEUE/seq                      the id allocator
//   QUEUE/sent/KEY                 which entry carries outgoing key KEY (SentRecord.h);
//                                  made on demand, so CheckQueueLayout does not ask for it
//   QUEUE/hold/ID.msg, ID.env, ID.why  entries held back from delivery (HoldArea.h); on demand
//   QUEUE/inflight/CHANNEL.XXXXXX  the entry a walker is working on (InFlight.h); on demand
//
// Contract: QueuePaths only composes names; it touches nothing. Channel names
// are case-insensitive: NormaliseChannelName lowers them and refuses anything
// that could leave the channels folder or be taken for a hidden file (empty,
// over 64 characters, a first character that is not a letter or digit,
// characters other than letters, digits, '.', '_' and '-').
// CreateQueueDirectory makes the whole layout (the queue folder itself and
// its parents too; never in / or at a relative path) and is idempotent; CheckQueueLayout says what is missing
// or not writable.
// Failure modes: CreateQueueDirectory returns false and CheckQueueLayout a
// non-empty fault text; neither throws but std::bad_alloc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace locmail::mq {

class QueuePaths {
public:
    QueuePaths() = default;
    explicit QueuePaths(std::string dir) : dir_(std::move(dir)) {}

    const std::string& Dir() const { return dir_; }
    std::string Entries() const;
    std::string Channels() const;
    std::string Tmp() const;
    std::string Corrupt() const;
    std::string Seq() const;
    std::string Sent() const;
    std::string Hold() const;
    std::string InFlight() const;
    std::string HoldFile(uint32_t id, std::string_view ext) const;
    std::string SentRecord(std::string_view key) const;
    std::string Channel(std::string_view normalisedName) const;
    std::string Marker(std::string_view normalisedName, uint32_t id) const;
    std::string EntryFile(uint32_t id, std::string_view ext) const;
    std::string TmpFile(uint32_t id, std::string_view ext) const;

private:
    std::string dir_;
};

std::optional<std::string> NormaliseChannelName(std::string_view name);

// FAULT (optional) receives what went wrong, with the path and the system's reason.
bool CreateQueueDirectory(const std::string& path, std::string* fault = nullptr);

// Empty when PATH has the layout and every part of it can be written to.
std::string CheckQueueLayout(const std::string& path);

} // namespace locmail::mq
