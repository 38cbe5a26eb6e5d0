// The process-wide cache of parsed profile files behind the profile functions.
//
// Contract: Load(path) returns the parsed file, parsing it only when it is new
// to the cache or when its device, inode, size or modification time (in
// nanoseconds) differ from the parsed copy: a file replaced by rename or
// rewritten is seen on the very next call (outside a ProfileReadScope, below),
// an unchanged one is not parsed again. One mutex guards the cache; the
// returned data is immutable and stays valid for as long as the caller holds
// it, even if the file is re-parsed.
// Limit: a rewrite that keeps inode and size within one tick of the file
// system clock (a few milliseconds on ext4) is not noticed until the next change.
// Failure modes: a missing, unreadable or non-regular file gives null (and is
// dropped from the cache); nothing throws except std::bad_alloc.
#pragma once

#include "suite/platform/ProfileData.h"

#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace locmail {

class ProfileCache {
public:
    static ProfileCache& Instance();

    std::shared_ptr<const ProfileData> Load(const std::string& path);

    // How many times a file was read and parsed since the process started.
    unsigned long long ParseCount() const;

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec mtime{};
        bool operator==(const Identity& other) const;
    };
    struct Entry {
        Identity identity;
        std::shared_ptr<const ProfileData> data;
    };

    std::shared_ptr<const ProfileData> LoadCurrent(const std::string& path);
    // False for anything but a regular file.
    static bool IdentityOf(const struct stat& st, Identity& out);
    std::shared_ptr<const ProfileData> ReadAndParse(const std::string& path);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    unsigned long long parses_ = 0;
};

// While one is alive on a thread, every profile read of that thread sees a
// file as it was at its first read within the scope: settings read together
// (a filter's keys, the checks of one delivery) come from one version of the
// file, which is checked once for the group instead of once for every key.
// A scope opened inside another adds nothing; the outer one decides.
class ProfileReadScope {
public:
    ProfileReadScope();
    ~ProfileReadScope();
    ProfileReadScope(const ProfileReadScope&) = delete;
    ProfileReadScope& operator=(const ProfileReadScope&) = delete;

private:
    friend class ProfileCache;
    bool active_ = false;
    std::vector<std::pair<std::string, std::shared_ptr<const ProfileData>>> seen_;
};

// Parse count of the process-wide cache, for tests and benchmarks.
unsigned long long ProfileParseCount();

} // namespace locmail
