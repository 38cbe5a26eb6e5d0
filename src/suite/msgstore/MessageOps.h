// Operations on a folder's message relations: status records (msgstat, by
// UID), envelopes (msgenv) and body structures (msgbody), both by idxkey and
// kept in the IMAP ENVELOPE and BODYSTRUCTURE syntax.
//
// Contract: Add* write the record, replacing one left under the same key by a
// filing that never completed (see docs/store-format.md: a record counts only
// below the folder's uidNext). Texts longer than kInlineTextLimit go to the
// relation's NAME.str heap. AddMsgBody links the structure to an envelope that
// must already be in MSGENV (the same folder's). Remove* delete the record;
// removing what is not there is not an error. Callers hold the home's mailbox
// lock around changes. The relation keeps the record last added or read.
// Failure modes (OpResult.h): kNotOpen, kBadArgument, kNotFound (Get*, and
// AddMsgBody without its envelope), kHeapError, kDbError. Nothing throws
// except std::bad_alloc.
#pragma once

#include "suite/msgstore/OpResult.h"
#include "suite/msgstore/Records.h"
#include "suite/msgstore/Relations.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct mail_envelope;
struct mail_bodystruct;

int AddMsgStat(msgstat& rel, std::uint32_t uid, const _msgstat& record);
int RemoveMsgStat(msgstat& rel, std::uint32_t uid);

// The envelope is serialised with locmail::cclient::ImapEnvelope.
int AddMsgEnv(msgenv& rel, const idxkey& key, const mail_envelope* envelope);
int AddMsgEnv(msgenv& rel, const idxkey& key, std::string_view imapEnvelope);
int RemoveMsgEnv(msgenv& rel, const idxkey& key);

// The structure is serialised with locmail::cclient::ImapBodyStructure.
int AddMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey, const idxkey& envKey,
               const mail_bodystruct* body);
int AddMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey, const idxkey& envKey,
               std::string_view imapBodyStructure);
// ENVELOPES names the relation the structure was linked to; the envelope itself
// is removed with RemoveMsgEnv.
int RemoveMsgBody(msgbody& rel, msgenv& envelopes, const idxkey& bodyKey);

namespace locmail::msgstore {

int GetMsgStat(msgstat& rel, std::uint32_t uid, _msgstat& record);
int GetMsgEnv(msgenv& rel, const idxkey& key, std::string& imapEnvelope);
int GetMsgBody(msgbody& rel, const idxkey& key, std::string& imapBodyStructure, idxkey* envKey = nullptr);
// The UIDs of the status records below BELOW, in order.
int ListMsgUids(msgstat& rel, std::uint32_t below, std::vector<std::uint32_t>& out);

} // namespace locmail::msgstore
