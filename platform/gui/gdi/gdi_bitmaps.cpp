// LoadBitmapA: bitmap resources become 32-bit bitmaps.
#include "gdi_dib.h"
#include "gdi_resource.h"
#include "gdi_table.h"

namespace twgui::gdi {

bool FindResourceData(HMODULE module, LPCSTR name, LPCSTR type, ResourceData *resource)
{
    HRSRC info = FindResourceA(module, name, type);
    if (!info)
        return false;
    const void *data = LockResource(LoadResource(module, info));
    if (!data)
        return false;
    resource->data = static_cast<const uint8_t *>(data);
    resource->size = SizeofResource(module, info);
    return true;
}

} // namespace twgui::gdi

using namespace twgui::gdi;

// Whatever depth the resource has, the bitmap has 32-bit pixels. A null instance
// would name the system's predefined bitmaps, which are not provided.
extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName)
{
    if (!hInstance) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    ResourceData resource;
    if (!FindResourceData(hInstance, lpBitmapName, RT_BITMAP, &resource))
        return nullptr;
    Dib dib;
    if (!ParseDib(resource.data, resource.size, false, &dib)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->image = DibImage(dib, QImage::Format_RGB32);
    if (bitmap->image.isNull()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(Insert(bitmap));
}
