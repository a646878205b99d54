// Per-thread COM initialisation state, as the rest of the runtime consults it.
#pragma once

namespace twcom {

// True when the calling thread may use COM: it initialised COM itself, or it
// belongs to the process's implicit multithreaded apartment because some other
// thread initialised one.
bool ThreadCanUseCom();

} // namespace twcom
