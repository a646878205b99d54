// The hashing functions' per-thread state.
#pragma once

namespace twk {

// Frees the crypto library's state of the calling thread, which is ending. Runs
// before the thread's handle is signalled, as Windows tells its libraries of a
// thread's end first: whoever waits for the thread finds its state gone.
void ReleaseThreadCryptState();

} // namespace twk
