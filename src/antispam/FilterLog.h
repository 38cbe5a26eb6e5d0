// The log module of the spam filing and rewriting routines. They belong to the
// Bayesian filter object and serve the X Scanner too, so every line they write
// goes out under this one name.
#pragma once

namespace locmail::antispam {

inline constexpr const char* kFilterLogModule = "Bayesian filter";

} // namespace locmail::antispam
