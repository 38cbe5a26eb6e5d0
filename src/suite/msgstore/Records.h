// The store's fixed records: folder statistics (mbxstat), message status
// (_msgstat) and message keys (idxkey), laid out field by field as the agent
// and the store exchange them.
//
// mbxstat: one per folder in a home's `mailbox` relation, keyed by the plain
// folder path. flags: bit 2 is set whenever a filing (or its undo) writes the
// record, bits 3 to 7 are then cleared, bits 0 and 1 belong to the folder's
// owner and are kept. The three counters go up by one for every filed message:
// totalMsgs (messages in the folder), recentMsgs (not yet seen by any session)
// and unseenMsgs (without the Seen flag). uidNext is the UID the next message
// gets (1 in a new folder); createTime is the folder's creation time in seconds
// since 1970 (UTC), which readers may use as the folder's UID validity; the
// last field is reserved and stays 0.
//
// _msgstat: one per message in a folder's `msgstat` relation, keyed by UID;
// receipt date and time (local time; zoneWest 1 for a zone west of UTC, then
// the absolute offset), size of the whole text, c-client system and user flag
// bits, and the size of the header part.
//
// idxkey: the key of a message in the `msgenv` and `msgbody` relations; part is
// 0 for the message itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct mbxstat {
    std::uint8_t flags;
    std::uint32_t totalMsgs;
    std::uint32_t recentMsgs;
    std::uint32_t unseenMsgs;
    std::uint32_t uidNext;
    std::int32_t createTime;
    std::int32_t reserved;
};

struct _msgstat {
    std::uint8_t day;
    std::uint8_t month;
    std::uint8_t year;
    std::uint8_t hours;
    std::uint8_t minutes;
    std::uint8_t seconds;
    std::uint8_t zoneWest;
    std::uint8_t zoneHours;
    std::uint8_t zoneMinutes;
    std::uint32_t size;
    std::uint32_t systemFlags;
    std::uint32_t userFlags;
    std::uint32_t headerSize;
};

struct idxkey {
    std::uint32_t uid;
    std::uint16_t part;
};

// The layouts are shared with code that copies these records whole.
static_assert(sizeof(mbxstat) == 28 && offsetof(mbxstat, totalMsgs) == 4 && offsetof(mbxstat, uidNext) == 16
              && offsetof(mbxstat, reserved) == 24);
static_assert(sizeof(_msgstat) == 28 && offsetof(_msgstat, zoneMinutes) == 8 && offsetof(_msgstat, size) == 12
              && offsetof(_msgstat, headerSize) == 24);
static_assert(sizeof(idxkey) == 8 && offsetof(idxkey, part) == 4);

// The mask bits of UpdateMbxStat: which fields of the record are written.
// The filing passes all five (31); createTime and the reserved field are never updated.
namespace locmail::msgstore {
inline constexpr int kUpdateFlags = 1;
inline constexpr int kUpdateTotal = 2;
inline constexpr int kUpdateRecent = 4;
inline constexpr int kUpdateUnseen = 8;
inline constexpr int kUpdateUidNext = 16;
inline constexpr int kUpdateAll = 31;
} // namespace locmail::msgstore
