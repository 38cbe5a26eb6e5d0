// The Windows Sleep: suspends the calling thread for at least MILLISECONDS.
//
// Contract: a signal that interrupts the wait does not shorten it (the rest
// is slept after the handler ran). Sleep(0) returns at once. Never fails.
#pragma once

void Sleep(unsigned long milliseconds);
