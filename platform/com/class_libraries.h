// Loading the platform libraries whose classes the built-in class table serves.
#pragma once

namespace twcom {

// Loads them once per process; their static registrations fill the table.
// Must be called without holding the table's lock.
void LoadPlatformClassLibraries();

} // namespace twcom
