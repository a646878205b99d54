// The process's running object table.
#pragma once
#include <objbase.h>

namespace twcom {

// The one table of the process. It lives as long as the process, so holding the
// pointer needs no reference; whoever hands it out adds one.
IRunningObjectTable *RunningObjectTable();

} // namespace twcom
