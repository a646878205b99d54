// The process's running object table.
#pragma once
#include <objbase.h>

namespace twcom {

// The one table of the process. It lives as long as the process; AddRef and
// Release on it are nominal, so holding the pointer needs no reference.
IRunningObjectTable *RunningObjectTable();

} // namespace twcom
