// The process's GDI objects: device contexts, bitmaps, brushes, pens, stock fonts,
// icons and cursors, named by opaque handles.
//
// Platform-internal. A handle maps to a shared reference on its object, so a call in
// progress keeps the object alive when another thread deletes the handle. One mutex
// guards the table and every object's selection state and attributes; pixels are
// guarded by the mutex of the image they live in (a bitmap's or a window surface's),
// taken only after the table mutex has been released.
#pragma once
#include <windows.h>

#include <QImage>

#include <memory>
#include <mutex>

namespace twgui {
struct ClientSurface;
}

namespace twgui::gdi {

enum class Kind { Dc, Bitmap, Brush, Pen, Font, Icon };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    const Kind kind;
    bool stock = false; // shared by the process, never deleted
};

// Pixels are QImage::Format_RGB32 and the image is never shared with another
// QImage, so drawing writes in place.
struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    std::mutex mutex;
    QImage image;
    HDC selectedInto = nullptr; // the memory DC holding it (never set for the stock bitmap)
};

// A solid brush or pen; a null one paints nothing.
struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    COLORREF color = 0;
    bool null = false;
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    COLORREF color = 0;
    bool null = false;
};

enum class FontFace { System, Gui };

struct Font : Object {
    Font() : Object(Kind::Font) {}
    FontFace face = FontFace::System;
};

// An icon (ARGB32 picture) or a cursor (a Qt::CursorShape, no picture).
struct Icon : Object {
    Icon() : Object(Kind::Icon) {}
    QImage image;
    int cursorShape = -1;
};

enum class DcType { Memory, Window, Screen };

struct Dc : Object {
    Dc() : Object(Kind::Dc) {}
    DcType type = DcType::Memory;
    HWND hwnd = nullptr;                           // window DCs
    std::shared_ptr<ClientSurface> surface;        // window DCs
    HBITMAP bitmap = nullptr;                      // memory DCs: the selected bitmap's handle
    std::shared_ptr<Bitmap> target;                // memory and screen DCs: the pixels drawn into
    HBRUSH brush = nullptr;
    HPEN pen = nullptr;
    HFONT font = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
};

// The table's mutex; hold it to read or change objects' selection state and attributes.
std::mutex &TableMutex();

// Adds an object and returns its new handle (never reused in the process's life).
void *Insert(std::shared_ptr<Object> object);

// The object a handle names, or null. Call with TableMutex held.
std::shared_ptr<Object> LookupLocked(const void *handle);

// The object if it is of type T, or null. Call with TableMutex held.
template <class T>
std::shared_ptr<T> LookupLocked(const void *handle, Kind kind)
{
    auto object = LookupLocked(handle);
    if (!object || object->kind != kind)
        return nullptr;
    return std::static_pointer_cast<T>(object);
}

// Removes a handle. Call with TableMutex held.
void RemoveLocked(const void *handle);

// The stock objects, created on first use.
HGDIOBJ StockObject(int index);
HBITMAP StockBitmap(); // the 1x1 bitmap a new memory DC starts with

// A new DC, not yet in the table, with the stock brush, pen and font selected.
std::shared_ptr<Dc> NewDc(DcType type);

// Largest width or height of a bitmap, and largest number of pixels (256 MB).
constexpr int kMaxBitmapSide = 32767;
constexpr qint64 kMaxBitmapPixels = qint64(1) << 26;

// A black Format_RGB32 image of that size, or a null image when the size is out of
// range or memory runs out.
QImage NewImage(int width, int height);

// Colours between COLORREF (0x00bbggrr) and QRgb (0xAArrggbb).
inline QRgb ToQRgb(COLORREF c)
{
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

inline COLORREF ToColorRef(QRgb c)
{
    return COLORREF(qRed(c)) | (COLORREF(qGreen(c)) << 8) | (COLORREF(qBlue(c)) << 16);
}

} // namespace twgui::gdi
