// Pieces the filing transaction (Filing.cpp) and its replay (FilingReplay.cpp)
// share: the folder's three message relations, a failed result, and the errno
// value of a failed relation operation.
//
// Contract: OperationErrno turns an operation's result code (OpResult.h) into
// the errno value of its cause: the relation's open failure, the SQLite
// failure on its connection (read before anything else runs on it), or
// SAVEDERRNO for a heap failure. Never 0 for a failure.
#pragma once

#include "suite/msgstore/Filing.h"
#include "suite/msgstore/Relations.h"

#include <string>

namespace locmail::msgstore {

// The folder's three message relations, opened before the lock is taken.
struct FolderRelations {
    FolderRelations(diamondBase& base, const std::string& dir)
        : env(&base, dir.c_str(), "msgenv"), body(&base, dir.c_str(), "msgbody"), stat(&base, dir.c_str(), "msgstat")
    {
    }
    const diaRel* Unopened() const
    {
        const diaRel* all[] = {&env, &body, &stat};
        for (const diaRel* rel : all) {
            if (!rel->isOpen())
                return rel;
        }
        return nullptr;
    }
    msgenv env;
    msgbody body;
    msgstat stat;
};

FilingResult FilingFailure(FilingStatus status, int error, std::string detail);

int OperationErrno(int opResult, const diaRel& rel, int savedErrno = 0);

} // namespace locmail::msgstore
