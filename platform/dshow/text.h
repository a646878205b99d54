// Text conversions of the runtime: UTF-16 strings and GUIDs to and from the UTF-8
// names the registry stores.
#pragma once
#include <string>

#include <objbase.h>

namespace twds {

std::string Utf8FromWide(LPCWSTR text); // null gives ""
std::u16string WideFromUtf8(const std::string &text);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
std::string GuidText(REFGUID guid);
bool GuidFromText(const std::string &text, GUID *guid);

} // namespace twds
