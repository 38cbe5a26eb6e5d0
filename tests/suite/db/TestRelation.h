// A minimal relation for the db layer's tests, and a child process that holds
// a relation lock until told to let go.
#pragma once

#include "suite/db/RelationLock.h"
#include "suite/db/diaRel.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace dbtest {

inline const locmail::db::Schema kNotesSchema{"notes", 1, "CREATE TABLE notes(k INTEGER PRIMARY KEY, v TEXT)"};

class notes : public diaRel {
public:
    notes(diamondBase* base, const std::string& dir) : diaRel(base, dir.c_str(), "notes", kNotesSchema) {}
};

// Forks a child that takes the lock on LOCKPATH and keeps it until Release()
// (or destruction) kills it. The constructor returns once the child holds it.
class ChildHolder {
public:
    ChildHolder(const std::string& lockPath, bool shared)
    {
        int up[2];
        if (pipe(up) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            char c = locmail::db::AcquireRelationLock(lockPath, shared, locmail::db::kWaitForever) == 0 ? 'L' : 'E';
            if (write(up[1], &c, 1) == 1 && c == 'L')
                pause(); // until killed: the lock goes with the process
            _exit(2);
        }
        close(up[1]);
        char c = 0;
        const bool held = read(up[0], &c, 1) == 1 && c == 'L';
        close(up[0]);
        if (!held)
            throw std::runtime_error("child could not take the lock");
    }
    ~ChildHolder() { Release(); }

    void Release()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// True when another process can take the lock on LOCKPATH at once.
inline bool OtherProcessCanLock(const std::string& lockPath)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(locmail::db::AcquireRelationLock(lockPath, false, 0) == 0 ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace dbtest
