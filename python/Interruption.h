#pragma once

// Ctrl-C while the reader decodes with Python's lock released. Python's own handler only notes
// the signal; a look once per block (cheap against 32 KiB of decoding) takes the lock briefly and
// lets Python act on it. When the signal raised KeyboardInterrupt, the look throws Interrupted and
// the read ends there: the reader in hand is discarded, and the caller, back under the lock,
// raises the pending exception.
struct Interrupted {};

// Call only on a thread that released Python's lock; throws Interrupted with the exception set.
void CheckForInterrupt();
// The same without throwing: true with the exception set.
bool InterruptPending();
