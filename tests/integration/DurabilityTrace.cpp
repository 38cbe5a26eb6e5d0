#include "integration/DurabilityTrace.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

namespace testsupport {
namespace {

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

bool Below(const std::string& path, const std::string& dir)
{
    return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/';
}

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

class Checker {
public:
    Checker(const std::string& storeHome, const std::string& queueDir)
        : store_(std::filesystem::canonical(storeHome).string()),
          queue_(std::filesystem::canonical(queueDir).string())
    {
        struct stat st {};
        if (::stat(store_.c_str(), &st) == 0)
            storeDevice_ = std::to_string(st.st_dev);
    }

    void Line(const std::vector<std::string>& f)
    {
        if (f.size() == 2 && f[0] == "write")
            StoreWrite(f[1], f[1]);
        else if (f.size() == 2 && f[0] == "unlink")
            NameChange(f[1], "", false, "unlink " + f[1]);
        else if (f.size() == 4 && f[0] == "rename")
            NameChange(f[1], f[2], f[3] == "1", "rename " + f[1] + " -> " + f[2]);
        else if (f.size() == 3 && f[0] == "sync" && (f[1] == "fsync" || f[1] == "fdatasync"))
            Synced(pending_.erase(f[2]) > 0);
        else if (f.size() >= 3 && f[0] == "sync" && (f[1] == "sync" || (f[1] == "syncfs" && f[2] == storeDevice_)))
            Synced(std::exchange(pending_, {}).size() > 0);
    }

    const DurabilityVerdict& Verdict() const { return verdict_; }

private:
    void StoreWrite(const std::string& path, const std::string& pendingKey)
    {
        if (!Below(path, store_) || path.ends_with("-shm"))
            return;
        ++verdict_.storeWrites;
        pending_.insert(pendingKey);
    }

    void NameChange(const std::string& from, const std::string& to, bool replaced, const std::string& what)
    {
        StoreWrite(from, Parent(from));
        if (!to.empty())
            StoreWrite(to, Parent(to));
        const bool away = QueueEntryPath(from);
        const bool rewrite = !to.empty() && replaced && QueueEntryPath(to);
        if (away || rewrite)
            Removal(what);
    }

    bool QueueEntryPath(const std::string& path) const
    {
        return Below(path, queue_ + "/entries") || Below(path, queue_ + "/channels");
    }

    void Removal(const std::string& what)
    {
        ++verdict_.removals;
        if (pending_.empty())
            return;
        if (verdict_.unsafeRemovals++ == 0)
            verdict_.firstUnsafe = what + " while " + std::to_string(pending_.size()) +
                                   " store write(s) are not synced, e.g. " + *pending_.begin();
    }

    void Synced(bool coveredSomething)
    {
        if (coveredSomething)
            ++verdict_.storeSyncs;
    }

    const std::string store_, queue_;
    std::string storeDevice_ = "?";
    std::set<std::string> pending_; // written files and changed directories not yet synced
    DurabilityVerdict verdict_;
};

} // namespace

DurabilityVerdict CheckRemovalsFollowSync(const std::string& traceFile, const std::string& storeHome,
                                          const std::string& queueDir)
{
    Checker checker(storeHome, queueDir);
    std::ifstream in(traceFile);
    for (std::string line; std::getline(in, line);)
        checker.Line(Fields(line));
    return checker.Verdict();
}

} // namespace testsupport
