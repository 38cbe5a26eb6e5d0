#include "support/FilingProbe.h"

#include <csignal>

namespace {

const testsupport::FilingProbe* current = nullptr;

} // namespace

namespace testsupport {

FilingProbe::FilingProbe(locmail::msgstore::FilingStep step, bool die) : step_(step), die_(die) { current = this; }

FilingProbe::~FilingProbe() { current = nullptr; }

bool FilingProbe::Reached(locmail::msgstore::FilingStep reached) const
{
    if (reached == step_ && die_)
        ::raise(SIGKILL);
    return reached != step_;
}

} // namespace testsupport

// Replaces the store's own answer in the binaries that compile this file in.
bool locmail::msgstore::ReachFilingStep(FilingStep step) { return current == nullptr || current->Reached(step); }
