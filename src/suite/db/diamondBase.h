// diamondBase: the database library's handle object.
//
// A diamondBase is cheap to make and to destroy: it is a handle onto the
// calling thread's cache of open relation connections (with their prepared
// statements and text heaps), so relation objects made for every filing reuse
// connections that were opened, set up and checked once per process and
// thread. The cache keeps the most recently used connections, at most 512
// (the four relations of 128 homes, about 35 MB) and fewer when the process's
// open-file limit is low (each connection holds three descriptors: NAME.db,
// NAME.db-wal, NAME.db-shm), so memory and descriptors stay bounded however
// many homes a thread serves; a connection still used by
// a live relation object stays open until that object goes away. A connection
// the cache lets go closes without folding its WAL into the database (no
// sync; the WAL stays valid beside it); CloseAll folds each WAL in. A cached
// connection whose NAME.db was replaced (a folder removed and made again) is
// dropped rather than reused, so nothing is written into a file that is gone.
//
// Contract: one thread per cache; SQLite connections must not cross fork(), so
// a child process never uses connections it inherited: it opens its own and
// abandons (does not close) the parent's. Call CloseAll before fork() when the
// child will use the store and the parent keeps running with open relations.
// Failure modes: Open returns nullptr with an error text and errno value (see Connection::Open).
#pragma once

#include "suite/db/Connection.h"

#include <cstddef>
#include <memory>
#include <string>

class diamondBase {
public:
    diamondBase() = default;
    ~diamondBase() = default;
    diamondBase(const diamondBase&) = delete;
    diamondBase& operator=(const diamondBase&) = delete;

    std::shared_ptr<locmail::db::Connection> Open(const std::string& dbPath, const locmail::db::Schema& schema,
                                                  std::string& error, int* errorCode = nullptr);

    // Closes every cached connection of this thread (those in use close when
    // released), folding each relation's WAL into its database.
    static void CloseAll();
    // Connections opened by this process since it started, and cached now in this thread.
    static unsigned long long OpenCount();
    static std::size_t CachedCount();
    // The cache bound in use; SetCacheCapacity(0) returns to the default.
    static std::size_t CacheCapacity();
    static void SetCacheCapacity(std::size_t capacity);
};
