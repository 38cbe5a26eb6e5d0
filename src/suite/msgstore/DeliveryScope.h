// Exactly-once filing: the delivery a filing belongs to.
//
// A queue entry carries a delivery key that stays the same however often the
// entry is tried. The agent opens a DeliveryScope with that key and the
// recipient around the recipient's delivery; the filing transaction
// (Filing.h) then records KEY + RECIPIENT + folder in the same SQLite
// transaction that commits the copy (the folder statistics of the home's
// `mailbox` relation), and a later filing with a recorded KEY + RECIPIENT +
// folder is a replay: it reports success with the recorded UID, repairs what
// a power cut may have taken of that copy, and files no second one. So a
// crash between the filing and the queue forgetting the entry never gives a
// duplicate. Recipients compare without regard to ASCII case, folders byte
// for byte. Records older than 30 days are pruned.
//
// Contract: the scope belongs to the thread that made it (thread-local) and
// covers every filing that thread makes while it lives; scopes do not nest
// (an inner one hides the outer one until it ends). An empty key records
// nothing: the filings behave as without a scope (no key recorded, no replay
// recognised). Every copy filed while the scope lives (a replay too) is
// noted in it, with or without a key, so the agent can say where the
// recipient's mail went. Failure modes: none; nothing throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::msgstore {

class DeliveryScope {
public:
    DeliveryScope(std::string key, std::string recipient);
    ~DeliveryScope();
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;

    const std::string& key() const { return key_; }
    const std::string& recipient() const { return recipient_; }

    struct FiledCopy {
        std::string folder; // normalized folder path
        std::uint32_t uid;
        bool replayed; // the copy an earlier filing under the same key made
    };
    // The copies filed under this scope, in filing order.
    const std::vector<FiledCopy>& filed() const { return filed_; }

    // This thread's scope, or nullptr when there is none or its key is empty.
    static const DeliveryScope* Current();
    // Notes a copy in this thread's scope, if there is one (the filing transaction calls it).
    static void NoteFiled(const std::string& folder, std::uint32_t uid, bool replayed = false);

private:
    std::string key_;
    std::string recipient_;
    std::vector<FiledCopy> filed_;
    DeliveryScope* outer_;
};

} // namespace locmail::msgstore
