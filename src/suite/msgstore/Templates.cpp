#include "suite/msgstore/Templates.h"

#include "suite/db/Connection.h"
#include "suite/db/TextHeap.h"
#include "suite/msgstore/Relations.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace locmail::msgstore {
namespace {

std::string Describe(const std::string& path, int err) { return path + ": " + std::strerror(err); }

// Builds an empty relation in a temporary file, closes it so that SQLite folds
// its WAL back in, then syncs and renames it into place.
bool WriteRelationTemplate(const std::string& homeDir, const locmail::db::Schema& schema, std::string& error)
{
    const std::string path = PathJoin(homeDir, std::string(schema.relation) + ".db");
    const std::string tmp = path + ".tmp";
    ::unlink(tmp.c_str());
    {
        std::string openError;
        auto conn = locmail::db::Connection::Open(tmp, schema, openError);
        if (!conn) {
            error = openError;
            ::unlink(tmp.c_str());
            return false;
        }
    }
    UniqueFd fd(::open(tmp.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || !Fsync(fd.get()) || ::rename(tmp.c_str(), path.c_str()) != 0) {
        error = Describe(path, errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string LockFileText(const char* relation)
{
    return std::string("locmail relation lock: ") + relation + "\n";
}

} // namespace

bool WriteStoreTemplates(const std::string& homeDir, std::string& error)
{
    const locmail::db::Schema* schemas[] = {&kMsgBodySchema, &kMsgEnvSchema, &kMsgStatSchema};
    for (const locmail::db::Schema* schema : schemas) {
        const std::string base = PathJoin(homeDir, schema->relation);
        if (!WriteRelationTemplate(homeDir, *schema, error))
            return false;
        if (!WriteFileAtomic(base + ".id0", LockFileText(schema->relation), 0644)) {
            error = Describe(base + ".id0", errno);
            return false;
        }
        if (schema != &kMsgStatSchema && !WriteFileAtomic(base + ".str", locmail::db::TextHeap::EmptyHeap(), 0600)) {
            error = Describe(base + ".str", errno);
            return false;
        }
    }
    if (!FsyncDirectory(homeDir)) {
        error = Describe(homeDir, errno);
        return false;
    }
    return true;
}

} // namespace locmail::msgstore
