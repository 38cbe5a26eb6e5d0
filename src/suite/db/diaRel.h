// diaRel: the base of the store's relations.
//
// A relation NAME opened on directory DIR lives in these files:
//   DIR/NAME.db   the SQLite database (WAL mode; NAME.db-wal and NAME.db-shm
//                 appear beside it while it is in use)
//   DIR/NAME.id0  the relation's lock file (flock), shared with other processes
//   DIR/NAME.str  the relation's large-text heap (see TextHeap.h), if it has texts
// Construction opens the database through the diamondBase's connection cache,
// creating and setting up a missing or empty file.
//
// Contract: lock(shared, ms) takes an advisory lock on NAME.id0 (exclusive when
// SHARED is false) and waits up to MS milliseconds (4294967295: forever); it is
// re-entrant within a thread (see RelationLock.h) and every successful lock needs
// one unlock. A relation object that goes away still holding locks releases
// them. RelLock is the scoped form. One relation object is used by one thread.
// Failure modes: isOpen() false (lastError() says why, openErrno() gives the
// errno value of SqliteErrno.h) when the database could not be opened, created
// or checked; operations on such a relation fail.
// lock returns 0 or an errno value (ETIMEDOUT when the wait ran out; EDEADLK
// when this thread holds it shared and asks for it exclusive; EBUSY when
// NAME.id0 was replaced while this object held the old one); unlock returns 0,
// or EPERM when this object holds no lock.
#pragma once

#include "suite/db/Connection.h"
#include "suite/db/RelationLock.h"
#include "suite/db/diamondBase.h"

#include <memory>
#include <string>

class diaRel {
public:
    diaRel(diamondBase* base, const char* directory, const char* name, const locmail::db::Schema& schema);
    virtual ~diaRel();
    diaRel(const diaRel&) = delete;
    diaRel& operator=(const diaRel&) = delete;

    int lock(bool shared, unsigned long milliseconds);
    int unlock();
    bool locked() const { return lockDepth_ > 0; }

    bool isOpen() const { return conn_ != nullptr; }
    const char* lastError() const { return error_.c_str(); }
    int openErrno() const { return errno_; }
    const std::string& directory() const { return directory_; }
    const std::string& name() const { return name_; }
    // DIR/NAME + EXT, for instance FilePath(".id0").
    std::string FilePath(const char* ext) const;

    // The open connection; nullptr when !isOpen().
    locmail::db::Connection* connection() const { return conn_.get(); }

protected:
    void SetError(std::string text) { error_ = std::move(text); }

private:
    std::string directory_;
    std::string name_;
    std::string lockPath_;
    std::shared_ptr<locmail::db::Connection> conn_;
    std::string error_;
    int errno_ = 0;
    int lockDepth_ = 0;
    locmail::db::LockKey lockKey_; // the file locked, while lockDepth_ > 0
};

namespace locmail::db {

// Holds a relation's lock for a scope. held() tells whether the lock was taken.
class RelLock {
public:
    explicit RelLock(diaRel& rel, unsigned long ms = kWaitForever, bool shared = false)
        : rel_(rel), rc_(rel.lock(shared, ms))
    {
    }
    ~RelLock()
    {
        if (rc_ == 0)
            rel_.unlock();
    }
    RelLock(const RelLock&) = delete;
    RelLock& operator=(const RelLock&) = delete;

    bool held() const { return rc_ == 0; }
    int error() const { return rc_; }

private:
    diaRel& rel_;
    int rc_;
};

} // namespace locmail::db
