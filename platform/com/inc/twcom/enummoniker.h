// A moniker enumerator over a fixed list, as EnumRunning hands out.
#pragma once
#include <objbase.h>
#include <vector>

namespace twcom {

// Takes over one reference on each moniker, whatever the result.
HRESULT CreateMonikerEnumerator(std::vector<IMoniker *> monikers, IEnumMoniker **ppenum);

} // namespace twcom
