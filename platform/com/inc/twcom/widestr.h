// UTF-16 string helpers shared by the runtime's monikers and GUID text.
#pragma once
#include <string>
#include <objbase.h>

namespace twcom {

// A copy of a null-terminated UTF-16 string; null gives an empty string.
std::u16string WideString(LPCOLESTR s);

// Case-folded copy (ASCII letters), the form in which item names are compared.
std::u16string FoldCase(const std::u16string &s);

// A null-terminated copy in task memory, or null when memory runs out.
LPOLESTR TaskMemString(const std::u16string &s);

} // namespace twcom
