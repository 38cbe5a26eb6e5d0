// Fails a filing at one step, or kills the filer there as kill -9 would:
// while a FilingProbe lives, the store's filing transaction asks it before
// every step. Only the binaries that compile FilingProbe.cpp in (it defines
// the store's ReachFilingStep, see suite/msgstore/FilingStep.h) can use it.
#pragma once

#include "suite/msgstore/FilingStep.h"

namespace testsupport {

class FilingProbe {
public:
    explicit FilingProbe(locmail::msgstore::FilingStep step, bool die = false);
    ~FilingProbe();
    FilingProbe(const FilingProbe&) = delete;
    FilingProbe& operator=(const FilingProbe&) = delete;

    bool Reached(locmail::msgstore::FilingStep reached) const;

private:
    locmail::msgstore::FilingStep step_;
    bool die_;
};

} // namespace testsupport
