// A minimal relation for the db layer's tests, and a child process that holds
// a relation lock until told to let go.
#pragma once

#include "suite/db/FileLock.h"
#include "suite/db/diaRel.h"

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
// (or destruction). The constructor returns once the child holds it.
class ChildHolder {
public:
    ChildHolder(const std::string& lockPath, bool shared)
    {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(up[0]);
            close(down[1]);
            char c = locmail::db::AcquireFileLock(lockPath, shared, locmail::db::kWaitForever) == 0 ? 'L' : 'E';
            if (write(up[1], &c, 1) != 1)
                _exit(2);
            (void)!read(down[0], &c, 1);
            _exit(0); // the lock goes with the process
        }
        close(up[1]);
        close(down[0]);
        toChild_ = down[1];
        char c = 0;
        if (read(up[0], &c, 1) != 1 || c != 'L')
            throw std::runtime_error("child could not take the lock");
        close(up[0]);
    }
    ~ChildHolder() { Release(); }

    void Release()
    {
        if (pid_ <= 0)
            return;
        close(toChild_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
};

// True when another process can take the lock on LOCKPATH at once.
inline bool OtherProcessCanLock(const std::string& lockPath)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(locmail::db::AcquireFileLock(lockPath, false, 0) == 0 ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace dbtest
