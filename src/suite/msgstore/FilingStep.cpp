#include "suite/msgstore/FilingStep.h"

namespace locmail::msgstore {

bool ReachFilingStep(FilingStep) { return true; }

} // namespace locmail::msgstore
