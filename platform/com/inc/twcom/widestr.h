// UTF-16 string helpers of the runtime's monikers.
#pragma once
#include <string>
#include <objbase.h>

namespace twcom {

// Case-folded copy (ASCII letters), the form in which item names are compared.
std::u16string FoldCase(const std::u16string &s);

// A null-terminated copy in task memory, or null when memory runs out.
LPOLESTR TaskMemString(const std::u16string &s);

} // namespace twcom
