// A test seam: an observer called at every step of an entry's life, so that a
// crash test can stop a process at exactly that point. Without an observer
// (the normal case) a step costs one relaxed load.
//
// Steps, in order: "reserved" (CreateMQEntry), "text-synced", "recorded"
// (only under an OutgoingKeyScope: the key is in sent/), "envelope-synced",
// "text-renamed", "envelope-renamed" (the commit point), "entries-synced",
// "marker-created" (once per channel), "committed".
// (The point between two messages of a walk is WalkControl::BetweenMessages.)
// Failure modes: none.
#pragma once

namespace locmail::mq {

using StepObserver = void (*)(const char* step);

void SetStepObserver(StepObserver observer);   // null removes it
void NotifyStep(const char* step);

} // namespace locmail::mq
