// CMailsort: the rules library's per-user object, built by the agent for one
// recipient with its store.
//
// Contract: IsFilterFileExist selects USER in the store (when given), reads the
// user's home directory and answers whether "rules.sieve" there is a regular
// file (links followed); the home is kept for GetHomeDir. A home longer than
// 260 characters, an unknown user or a shared mailbox answers false with a
// log line. The second argument is accepted as the agent passes it and has no
// effect. Copyable (the store is referred to, not owned).
// Failure modes: none thrown; every failure answers false.
#pragma once

#include "suite/platform/Export.h"
#include "suite/vexclass/CLogging.h"

#include <memory>
#include <string>

class CMsgStore;
namespace locmail::db {
class Connection;
}

class LOCMAIL_EXPORT CMailsort : public CLogging {
public:
    static constexpr int kHomeDirSize = 261;

    CMailsort() : CLogging("Mailsort") {}
    CMailsort(CMsgStore& store, const char* moduleName) : CLogging(moduleName), m_store(&store) {}
    ~CMailsort() override;
    CMailsort(const CMailsort&) = default;
    CMailsort& operator=(const CMailsort&) = default;

    CMsgStore* GetMsgStore() const { return m_store; }
    const char* GetHomeDir() const { return m_homeDir; }

    bool IsFilterFileExist(const char* user, bool unused);

    // The vacation database (VacationDb.cpp), in the home of the store's
    // current profile. A sender is answered again after the vacation's :days
    // (at least 1, default 7) per vacation handle. Failures throw
    // CMailsortException; CreateVacationDb throws CMsgStoreException.
    static constexpr size_t kVacationPathSize = 264;
    bool IsVacationDbExist(const char* user, bool unused);
    void CreateVacationDb(const char* user, bool unused);
    bool IsVacationReply(const char* user, const char* sender, long now, bool unused);
    void GetVacationFile(const char* user, char* path, bool unused);
    void UpdateVacationRecip(const char* user, const char* sender, long now, bool unused);

private:
    std::string VacationPath(const char* file);
    std::unique_ptr<locmail::db::Connection> OpenVacationDb();

    CMsgStore* m_store = nullptr;
    char m_homeDir[kHomeDirSize] = {};
};
