#include "suite/db/diaRel.h"

#include "suite/platform/Files.h"

#include <cerrno>

diaRel::diaRel(diamondBase* base, const char* directory, const char* name, const locmail::db::Schema& schema)
    : directory_(directory != nullptr ? directory : ""), name_(name != nullptr ? name : "")
{
    lockPath_ = FilePath(".id0");
    if (base == nullptr || name_.empty()) {
        error_ = "relation opened without a database handle or name";
        errno_ = EINVAL;
        return;
    }
    conn_ = base->Open(FilePath(".db"), schema, error_, &errno_);
}

diaRel::~diaRel()
{
    while (lockDepth_ > 0)
        unlock();
}

std::string diaRel::FilePath(const char* ext) const { return locmail::PathJoin(directory_, name_ + ext); }

int diaRel::lock(bool shared, unsigned long milliseconds)
{
    locmail::db::LockKey key;
    int rc = locmail::db::AcquireRelationLock(lockPath_, shared, milliseconds, &key);
    if (rc != 0)
        return rc;
    if (lockDepth_ > 0 && (key.dev != lockKey_.dev || key.ino != lockKey_.ino)) {
        // The lock file was replaced while we held the old one: keep one lock per object.
        locmail::db::ReleaseRelationLock(key);
        return EBUSY;
    }
    lockKey_ = key;
    ++lockDepth_;
    return 0;
}

int diaRel::unlock()
{
    if (lockDepth_ == 0)
        return EPERM;
    --lockDepth_;
    return locmail::db::ReleaseRelationLock(lockKey_);
}
