// The GDI handle table and its stock objects.
#include "gdi_table.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace twgui::gdi {
namespace {

// Handles start well above the small numbers that stand for system colours
// ((HBRUSH)(COLOR_WINDOW + 1)) and step by 8, so they look like aligned pointers.
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 8;

constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = kFirstHandle;
    std::array<HGDIOBJ, kStockCount> stock{};
    HBITMAP stockBitmap = nullptr;

    Table()
    {
        AddSolid<Brush>(WHITE_BRUSH, RGB(255, 255, 255));
        AddSolid<Brush>(LTGRAY_BRUSH, RGB(192, 192, 192));
        AddSolid<Brush>(GRAY_BRUSH, RGB(128, 128, 128));
        AddSolid<Brush>(DKGRAY_BRUSH, RGB(64, 64, 64));
        AddSolid<Brush>(BLACK_BRUSH, RGB(0, 0, 0));
        AddSolid<Brush>(NULL_BRUSH, 0, true);
        AddSolid<Pen>(WHITE_PEN, RGB(255, 255, 255));
        AddSolid<Pen>(BLACK_PEN, RGB(0, 0, 0));
        AddSolid<Pen>(NULL_PEN, 0, true);
        auto font = [this](int index, FontFace face) {
            auto f = std::make_shared<Font>();
            f->face = face;
            stock[size_t(index)] = AddStock(f);
        };
        font(SYSTEM_FONT, FontFace::System);
        font(DEFAULT_GUI_FONT, FontFace::Gui);
        // Black, as the 1x1 monochrome bitmap of a new memory DC is on Windows.
        auto bitmap = std::make_shared<Bitmap>();
        bitmap->image = NewImage(1, 1);
        stockBitmap = static_cast<HBITMAP>(AddStock(bitmap));
    }

    // A stock brush or pen.
    template <class T>
    void AddSolid(int index, COLORREF color, bool null = false)
    {
        auto object = std::make_shared<T>();
        object->color = color;
        object->null = null;
        stock[size_t(index)] = AddStock(object);
    }

    void *AddStock(std::shared_ptr<Object> object)
    {
        object->stock = true;
        return Add(std::move(object));
    }

    void *Add(std::shared_ptr<Object> object)
    {
        const uintptr_t handle = next;
        next += kHandleStep;
        objects.emplace(handle, std::move(object));
        return reinterpret_cast<void *>(handle);
    }
};

// The stock objects are made with the table, so looking one up never needs the
// table's mutex.
Table &TheTable()
{
    static Table table;
    return table;
}

} // namespace

std::mutex &TableMutex()
{
    return TheTable().mutex;
}

void *Insert(std::shared_ptr<Object> object)
{
    Table &table = TheTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.Add(std::move(object));
}

std::shared_ptr<Object> LookupLocked(const void *handle)
{
    Table &table = TheTable();
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

void RemoveLocked(const void *handle)
{
    TheTable().objects.erase(reinterpret_cast<uintptr_t>(handle));
}

HGDIOBJ StockObject(int index)
{
    if (index < 0 || index >= kStockCount)
        return nullptr;
    return TheTable().stock[size_t(index)];
}

HBITMAP StockBitmap()
{
    return TheTable().stockBitmap;
}

std::shared_ptr<Dc> NewDc(DcType type)
{
    auto dc = std::make_shared<Dc>();
    dc->type = type;
    dc->brush = static_cast<HBRUSH>(StockObject(WHITE_BRUSH));
    dc->pen = static_cast<HPEN>(StockObject(BLACK_PEN));
    dc->font = static_cast<HFONT>(StockObject(SYSTEM_FONT));
    return dc;
}

QImage NewImage(int width, int height)
{
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        qint64(width) * height > kMaxBitmapPixels)
        return QImage();
    QImage image(width, height, QImage::Format_RGB32);
    if (!image.isNull())
        image.fill(0xFF000000u);
    return image;
}

} // namespace twgui::gdi
