#include "suite/mailsort/CMailsort.h"

#include "suite/mailsort/ScriptFile.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/platform/Files.h"

#include <cstring>
#include <sys/stat.h>

CMailsort::~CMailsort() = default;

bool CMailsort::IsFilterFileExist(const char* user, bool)
{
    std::memset(m_homeDir, 0, sizeof m_homeDir);
    if (!m_store)
        return false;
    char home[1024] = {};
    try {
        if (user)
            m_store->SetProfile(user);
        if (m_store->IsShared())
            return false;
        m_store->GetUserHomeDir(home);
    } catch (const CMsgStoreException& error) {
        PrintLogMessage(2, "No rules looked for: %s", error.GetMessage());
        return false;
    }
    home[sizeof home - 1] = '\0';
    if (std::strlen(home) >= sizeof m_homeDir) {
        PrintLogMessage(2, "Home directory longer than %d characters, rules not used: %s", kHomeDirSize - 1, home);
        return false;
    }
    std::strcpy(m_homeDir, home);
    struct stat info {};
    std::string path = locmail::PathJoin(m_homeDir, locmail::mailsort::kFilterFileName);
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
