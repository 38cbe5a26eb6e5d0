// Scripted doubles for the agent's unit tests.
//
// Queue and composer are link seams: this binary defines the MQapi.h functions
// and CMimeMsg itself, so the linker never pulls the real ones out of
// locmail_mq / locmail_vexclass (a symbol missed here would show up as a
// duplicate definition). The agent builds its CMimeMsg by value as in
// production, and the recorder sees every call, including the sender record's
// flags during Bounce. The store is a CMsgStore overriding its virtual operations.
#pragma once

#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/DeliveryScope.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct stEnvelope;

namespace doubles {

using Lines = std::vector<std::string>;

// A walk over IDS (then -1); files are DIR/ID.msg; no envelope: GetMQEnvelope answers null.
struct Queue {
    bool initOk = true, openOk = true;
    bool deferOk = true; // false: the entries are past the queue's lifetime
    bool lmtp = false;   // the entries came through LMTP (IsMQLmtpEntry)
    std::string dir;
    std::vector<uint32_t> ids;
    std::map<uint32_t, stEnvelope*> envelopes;
    Lines calls; // "First", "Next", "Remove 1", "Free 1", "Defer 1 2", "Close", ...
    // New entries (forwards): "Create 1000", "Insert 1000 localout 255",
    // "Envelope 1000 from|to,to", "Commit 1000" (+ " key K" under an
    // outgoing-key scope), "Discard 1000"; FAILON names
    // the one of Create, Insert, Envelope, Commit that fails.
    std::string failOn;
    uint32_t nextEntry = 1000;
};
inline Queue& TheQueue()
{
    static Queue queue;
    return queue;
}

// Every CMimeMsg call as "Op arg|arg"; the operation named THROWON throws CMimeMsgException.
struct Mime { Lines calls; std::string throwOn; };
inline Mime& TheMime()
{
    static Mime mime;
    return mime;
}

// Unknown addresses fail with code 3; FILECODES scripts successive filings (0 = filed).
class ScriptedStore : public CMsgStore {
public:
    std::set<std::string> users, shared, refused;
    std::string homeRoot = "/home"; // a user's home is HOMEROOT/ADDRESS
    std::map<std::string, std::deque<int>> fileCodes;
    bool flagUnkeyed = false;
    std::function<void(const std::string&)> onProfile;
    Lines calls;

    void SetProfile(const char* address) override
    {
        calls.push_back("SetProfile " + (m_profile = address));
        if (onProfile)
            onProfile(m_profile);
    }
    bool IsShared() override
    {
        if (!users.count(m_profile) && !shared.count(m_profile))
            Fail(3);
        return shared.count(m_profile) > 0;
    }
    void GetUserPermission(bool&, bool& mayReceive) override { mayReceive = !refused.count(m_profile); }
    void GetUserHomeDir(char* homeDir) override
    {
        calls.push_back("HomeDir");
        std::strcpy(homeDir, (homeRoot + "/" + m_profile).c_str());
    }
    void AddUserMsg(const char* user, mail_bodystruct*, mail_envelope*, _msgstat*, const char*, unsigned long,
                    const char* folder, bool, bool) override
    {
        File(std::string("AddUserMsg ") + user + " " + folder, folder);
    }
    void AddSharedMsg(const char* mailbox, mail_bodystruct*, mail_envelope*, _msgstat*, const char*,
                      unsigned long, const char* folder, bool) override
    {
        File(std::string("AddSharedMsg ") + mailbox + (folder ? " '" + std::string(folder) + "'" : " null"), folder);
    }

private:
    // A filing is noted in the delivery scope as the real store's filing transaction notes it;
    // with flagUnkeyed, one made outside a scope (a replay could make it again) shows as such.
    void File(const std::string& what, const char* folder)
    {
        auto& codes = fileCodes[m_profile];
        const int code = codes.empty() ? 0 : codes.front();
        if (!codes.empty())
            codes.pop_front();
        const bool unkeyed = flagUnkeyed && locmail::msgstore::DeliveryScope::Current() == nullptr;
        calls.push_back(unkeyed ? what + " (no delivery key)" : what);
        if (code != 0)
            Fail(code);
        locmail::msgstore::DeliveryScope::NoteFiled(folder && *folder ? folder : "inbox", ++m_uid);
    }
    [[noreturn]] void Fail(int code)
    {
        SetLastError(code);
        throw CMsgStoreException(code, ("store code " + std::to_string(code) + " for " + m_profile).c_str());
    }
    std::string m_profile;
    std::uint32_t m_uid = 0;
};

} // namespace doubles
