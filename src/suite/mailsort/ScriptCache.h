// ScriptCache: parsed filter files kept between messages, so that an
// unchanged rules.sieve is neither read nor parsed again.
//
// Contract: Lookup answers the parsed script of PATH when the file is still
// the one parsed (same device, inode, size, modification and change times:
// an edit in place or a replacing rename both show); else null. Store keeps a
// script parsed from the file described by INFO (taken with fstat on the
// descriptor that was read, so a file replaced meanwhile is not mistaken for
// it). At most kCapacity files are kept; past that the oldest entry goes.
// Only scripts that parsed are kept: a broken file is read again each time,
// so its error is logged for every message. Thread-safe.
// Failure modes: none besides std::bad_alloc.
#pragma once

#include "suite/mailsort/SieveScript.h"

#include <memory>
#include <string>
#include <sys/stat.h>

namespace locmail::mailsort {

class ScriptCache {
public:
    static constexpr std::size_t kCapacity = 256;

    std::shared_ptr<const Script> Lookup(const std::string& path);
    void Store(const std::string& path, const struct stat& info, std::shared_ptr<const Script> script);

    static ScriptCache& Process();

private:
    struct State;
    State& state();
    std::shared_ptr<State> state_;
};

} // namespace locmail::mailsort
