// The bytes of a module's resource, as the kernel's resource calls give them.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace twgui::gdi {

struct ResourceData {
    const uint8_t *data = nullptr;
    size_t size = 0;
};

// Finds and locks a resource; false with the kernel's last error when there is none.
bool FindResourceData(HMODULE module, LPCSTR name, LPCSTR type, ResourceData *resource);

} // namespace twgui::gdi
