// Which process this is, in the sense that matters to per-process caches:
// the number changes in the child of every fork(), so state inherited from
// the parent (open relations, held locks) can be told apart from our own
// without a getpid() system call each time.
//
// Contract: ForkGeneration() is cheap (an atomic load) and thread-safe; it
// returns the same value until this process is forked, and a different one
// in the child.
#pragma once

namespace locmail {

unsigned ForkGeneration();

} // namespace locmail
