// The points of the filing transaction (Filing.h), in order, and the question
// it asks before each: ReachFilingStep answers whether the step may run; no
// makes the step fail as if the library had (StatsRead and Unlock cannot fail).
//
// The store's own answer (FilingStep.cpp, alone in its object file) is always
// yes. A test binary that defines ReachFilingStep itself is linked with that
// definition instead (tests/support/FilingProbe.cpp), so no interface of the
// production build carries the tests' probe.
// Failure modes: none.
#pragma once

namespace locmail::msgstore {

enum class FilingStep {
    StatsRead,
    AddMsgStat,
    AddMsgEnv,
    AddMsgBody,
    StatsUpdate,     // in the home's transaction, after the delivery key
    MessageFileCreate,
    MessageFileText, // after the six prefix bytes, before the text
    Commit,          // of the home's transaction, after the folder's three
    Unlock,
};

bool ReachFilingStep(FilingStep step);

} // namespace locmail::msgstore
