#include "suite/msgstore/FilingParts.h"

#include "suite/msgstore/OpResult.h"

#include <cerrno>

namespace locmail::msgstore {

FilingResult FilingFailure(FilingStatus status, int error, std::string detail)
{
    FilingResult r;
    r.status = status;
    r.error = error != 0 ? error : EPROTO;
    r.detail = std::move(detail);
    return r;
}

int OperationErrno(int opResult, const diaRel& rel, int savedErrno)
{
    int error = 0;
    switch (opResult) {
    case kOk: return 0;
    case kNotOpen: error = rel.openErrno(); break;
    case kNotFound: return ENOENT;
    case kBadArgument: return EINVAL;
    case kHeapError: error = savedErrno != 0 ? savedErrno : EIO; break;
    default: error = rel.connection() != nullptr ? rel.connection()->LastErrno() : 0; break;
    }
    return error != 0 ? error : EPROTO;
}

} // namespace locmail::msgstore
