// A queue entry being built: reserved by CreateMQEntry, given its text (written
// by the caller at TextPath), its channels and its envelope, then committed by
// Commit (CloseMQEntry) or dropped by Discard (DiscardMQEntry).
//
// Contract: while it is built, the entry lives in tmp/ and no walk can see it.
// Commit: the text and the envelope (which records the text's size, the
// channels, a new delivery key and the arrival time) are fsynced in tmp/, the text and then the envelope are renamed
// into entries/ (the envelope's rename is the commit point), entries/ is
// fsynced, and the channel markers are created. The entry's lock on its
// envelope is held until the markers exist; a process that dies after the
// commit point leaves a whole entry whose missing markers the next walk
// restores (Recovery.h), and one that dies before it leaves only files in
// tmp/ (and perhaps entries/ID.msg) that the next walk removes. Three fsyncs
// per entry. Destroying an entry that was neither committed nor discarded
// discards it.
// Under an OutgoingKeyScope (OutgoingKey.h) the key is the scope's next one,
// and once the text is synced the key is looked up and recorded in sent/
// (SentRecord.h): when an entry carrying it is queued already, this one is
// discarded and Commit succeeds; QueuedId then names that entry.
// CameThroughLmtp(KEY) gives the entry KEY (DeliveryKey.h) and the envelope's
// lmtp mark; the key is looked up and recorded in sent/ as an outgoing key is,
// so a client's retry of a transaction still queued is not queued again.
// Such an entry is committed without its three fsyncs: the client keeps the
// message until it hears the outcome, which comes only after the store's
// copy is durable, so a power cut may lose the entry but never the mail (the
// client sends it again, and its key recognises what was filed).
// Failure modes: SetEnvelope refuses texts with CR or LF, AddChannel refuses
// bad channel names, Commit fails when the text was never written, no envelope
// or channel was given, or a file operation fails; each logs one level-1 line
// naming the entry and returns false. A failed Commit leaves nothing behind
// but perhaps a sent/ record naming it, which counts for nothing.
// Nothing throws but std::bad_alloc.
#pragma once

#include "suite/mq/Envelope.h"
#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace locmail::mq {

class NewEntry {
public:
    // Reserves an id in the queue at PATHS; null (logged under MODULE) on failure.
    static std::unique_ptr<NewEntry> Create(const QueuePaths& paths, std::string module);
    ~NewEntry();
    NewEntry(const NewEntry&) = delete;
    NewEntry& operator=(const NewEntry&) = delete;

    uint32_t Id() const { return id_; }
    // After a successful Commit, the entry that carries the mail: Id(), or the one queued before.
    uint32_t QueuedId() const { return queuedId_; }
    // Where the caller writes the text: tmp/ID + EXT for "" and ".msg"; null otherwise.
    const char* TextPath(std::string_view ext);

    [[nodiscard]] bool AddChannel(const char* name, int priority);
    [[nodiscard]] bool SetEnvelope(const stEnvelope* envelope);
    void CameThroughLmtp(std::string key) { lmtpKey_ = std::move(key); }
    [[nodiscard]] bool Commit();
    void Discard();

private:
    NewEntry(QueuePaths paths, std::string module, uint32_t id, UniqueFd envelopeFd);

    bool Fail(const char* what, int err);
    bool SyncText();
    bool SettleKey(std::optional<std::string> outgoingKey);
    bool Prepare(std::optional<std::string> outgoingKey);
    bool WriteEnvelope();
    bool Publish();
    bool CreateMarkers();
    void RollBack();

    QueuePaths paths_;
    std::string module_;
    uint32_t id_;
    uint32_t queuedId_;
    UniqueFd envelopeFd_;
    EnvelopeData envelope_;
    bool haveEnvelope_ = false;
    std::optional<std::string> lmtpKey_;
    bool finished_ = false;
    std::string pathBuffer_;
    std::vector<std::string> markersMade_;
    bool textRenamed_ = false;
    bool envelopeRenamed_ = false;
};

} // namespace locmail::mq
