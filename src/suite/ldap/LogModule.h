// The log module under which the directory client writes.
#pragma once

namespace locmail::ldap {

inline constexpr const char* kLogModule = "LDAP Client";

} // namespace locmail::ldap
