// The delivery key of a queue entry: unique over the whole life of the queue,
// even though ids come round again after crashes, so that the store can tell
// a replayed delivery (same key, same recipient) from a new message.
//
// Contract: NewDeliveryKey draws 128 random bits from the kernel (getrandom)
// and writes them as 32 lower-case hex digits. An envelope of version 1 has
// no key: DerivedDeliveryKey gives it a stable one from the id and the
// envelope file's inode and change time ("v1-0000002A-<inode>-<ctime in ns>"),
// which no drawn key can equal, and which a rewritten envelope keeps.
// An entry that came through LMTP carries "lmtp-" and the 64 hex digits of a
// SHA-256 digest of its sender, recipients and text (host/LmtpKey.h), so that
// the client's retry of the same transaction carries the same key.
// Mail that the agent queues while handling an entry gets an outgoing key
// made from that entry's: a key of either form followed by groups of "." and
// 1 to 10 decimal digits ("<key>.3.1", OutgoingKey.h). IsDeliveryKey accepts
// exactly these forms, of at most kMaxDeliveryKey characters (a key names a
// file in sent/).
// Failure modes: NewDeliveryKey returns false with errno set when the kernel
// gives no random bytes; nothing throws but std::bad_alloc.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace locmail::mq {

inline constexpr std::size_t kMaxDeliveryKey = 200;
inline constexpr std::string_view kLmtpKeyPrefix = "lmtp-";

[[nodiscard]] bool NewDeliveryKey(std::string& key);

bool IsDeliveryKey(std::string_view text);

std::string DerivedDeliveryKey(uint32_t id, const struct stat& envelopeFile);

} // namespace locmail::mq
