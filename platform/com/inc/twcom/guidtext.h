// GUIDs as the registry and the platform's files store them:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex. Platform-internal.
#pragma once
#include <string>

#include <objbase.h>

namespace twcom {

std::string GuidText(REFGUID guid);
// False for anything but that form (either case of hex digits).
bool GuidFromText(const std::string &text, GUID *guid);

} // namespace twcom
