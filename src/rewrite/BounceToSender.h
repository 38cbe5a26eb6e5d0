// BounceToSender: hands a queued spam message to the suite's bounce service,
// returned to SENDER with REASON.
//
// The queue file path is copied and cut at its last "." (anywhere in the
// path), so ".../0000002A.msg" names the queue entry ".../0000002A". The
// reason goes in a text chain (a null reason is appended as an empty text,
// which the service reads as none given), and the sender record is filled as
// a refusal: the sender's address, "", flag word 0x80 (mq::kReturnedMailFlag),
// 0, "", "DSN". Then
// BounceMimeMessage(path, record, chain, 0, 0) (suite/util/BounceMimeMessage.h).
//
// Failure modes: false when the path is null, memory runs out for the copy
// or the chain, or the service does not return 0. Logs nothing itself (the
// service logs its own failures). Nothing throws.
#pragma once

namespace locmail::rewrite {

bool BounceToSender(const char* sender, const char* messagePath, const char* reason);

} // namespace locmail::rewrite
