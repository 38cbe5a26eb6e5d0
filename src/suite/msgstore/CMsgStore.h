// CMsgStore: the message store as the delivery agent sees it.
//
// The host builds one per process. SetProfile selects a recipient (a user or a
// shared mailbox of the users directory, UsersDirectory.h: addresses matched
// without regard to case; a shared mailbox also by the part before its '@');
// IsShared, GetUserPermission and GetUserHomeDir then answer for it. AddUserMsg
// and AddSharedMsg name their account themselves (the migration entry points
// file without a profile). Filing goes through the one filing transaction
// (Filing.h), so the agent's own filing and this class write the same format.
// The object keeps its diamondBase and the open users directory, so
// consecutive filings reuse open databases. One thread at a time.
//
// AddUserMsg flags, as the agent passes them:
//   false, false  ordinary delivery (queue, rules): the message arrives new
//                 (its status record's flag words are cleared) and a missing
//                 folder is code 14, on which the caller refiles into "inbox";
//   false, true   migration from a file: as new, and a missing folder is made
//                 (with the levels above it), as the migrated mailbox had it;
//   true, true    migration from memory: the status record carries the flags
//                 the message had in the other system and is stored as given;
//                 a missing folder is made.
// AddSharedMsg flag: false (delivery to the shared mailbox, empty folder) files
// into an existing folder only; true (a user's rule moving or copying into a
// shared mailbox) makes a missing folder, so a rule never fails on it. A null
// or empty folder is "inbox" for both calls.
//
// A filing made while a DeliveryScope lives on the calling thread is filed
// exactly once per delivery key, recipient and folder (DeliveryScope.h).
//
// Failure modes: every operation that fails throws CMsgStoreException with a
// code of StoreCodes.h (classed by errno, FailureClass.h) and records the same
// code and text as its own last-error code and message (the agent reads the
// code for the postmaster notice):
//   3  unknown recipient (AddUserMsg: also an address that is a shared mailbox)
//   4  store unavailable: HomeDir not set, users.db unusable, or a failure whose
//      errno is store-wide (ENOSPC, EIO, EROFS, ...); the agent keeps the message queued
//   6  mailbox damaged: a relation that is corrupt or of another kind, a home
//      that is not a directory or lies outside the store
//   14 folder does not exist; 15 folder name names no directory; 16 folder full
//   17 this mailbox cannot take mail now (EACCES, a lock held too long, busy, ...):
//      the agent defers this recipient only
//   18 this mailbox will not take mail (EISDIR, ENOTDIR, EDQUOT, EFBIG, ...)
//   39 unknown shared mailbox (or a name that fits several)
//   46 the account's home directory does not exist
//   56 bad address: null, empty, over 1023 characters, or no recipient selected
// SetProfile itself never throws: it sets the last-error code (0 when found) and
// the following calls throw the lookup's code.
// The operations are virtual so that tests can put a scripted store in its place.
#pragma once

#include "suite/msgstore/CMsgStoreException.h"
#include "suite/msgstore/CMsgStoreLDAP.h"
#include "suite/msgstore/Records.h"
#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

#include <memory>

struct mail_envelope;
struct mail_bodystruct;

class LOCMAIL_EXPORT CMsgStore : public CLogging {
public:
    // Reads [MsgStore] HomeDir from the configuration file.
    CMsgStore();
    // The store in STOREHOME, for the host's commands and tests.
    explicit CMsgStore(const char* storeHome);
    ~CMsgStore() override;
    CMsgStore(const CMsgStore&) = delete;
    CMsgStore& operator=(const CMsgStore&) = delete;

    virtual void SetProfile(const char* address);
    // True when the selected recipient is a shared mailbox.
    virtual bool IsShared();
    // mayLogin and mayReceive come in preset to true; mayReceive false: not now.
    virtual void GetUserPermission(bool& mayLogin, bool& mayReceive);
    // The selected user's home directory into HOMEDIR (1024 characters, terminated).
    virtual void GetUserHomeDir(char* homeDir);

    // Files TEXT into FOLDER of USER's mailbox (flags: see above). A null STAT is
    // stamped with the current time.
    virtual void AddUserMsg(const char* user, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat,
                            const char* text, unsigned long length, const char* folder, bool ownFlags,
                            bool makeFolder);
    // Files TEXT into FOLDER of the shared MAILBOX; a null or empty folder is its inbox.
    virtual void AddSharedMsg(const char* mailbox, mail_bodystruct* body, mail_envelope* envelope,
                              _msgstat* stat, const char* text, unsigned long length, const char* folder,
                              bool makeFolder);

    // Makes every filing so far durable (message files, records, statistics,
    // delivery keys): one syncfs per file system written to. The host calls it
    // before it lets the queue entries of a batch of deliveries go. Returns 0
    // or an errno value; what could not be synced is tried again next time.
    virtual int MakeDurable();

    // The store's directory object, for the lookups of direct delivery.
    CMsgStoreLDAP& GetLDAP() { return *m_ldap; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::unique_ptr<CMsgStoreLDAP> m_ldap = std::make_unique<CMsgStoreLDAP>();
};
