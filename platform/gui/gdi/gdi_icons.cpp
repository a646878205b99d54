// Icons and cursors: icon resources (a group directory and its images), the
// predefined application icon and the predefined cursors. Loaded icons are shared,
// as LoadIcon's are on Windows: loading one again gives the same handle, and
// DestroyIcon leaves it alone.
#include "gdi_dib.h"
#include "gdi_objects.h"
#include "gdi_resource.h"
#include "gdi_table.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace twgui::gdi {
namespace {

constexpr int kPreferredSize = 32;
constexpr int kMaxPngIconSide = 1024;

// The built-in application icon: a small window with a blue title bar.
QImage ApplicationIconImage()
{
    QImage image(kPreferredSize, kPreferredSize, QImage::Format_ARGB32);
    image.fill(0);
    for (int y = 3; y < 29; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 2; x < 30; ++x) {
            const bool border = x == 2 || x == 29 || y == 3 || y == 28;
            line[x] = border ? qRgb(40, 40, 40) : y < 9 ? qRgb(32, 96, 200) : qRgb(255, 255, 255);
        }
    }
    return image;
}

struct Predefined {
    HICON application;
    HCURSOR arrow;
    HCURSOR ibeam;
    HCURSOR wait;
};

HICON AddShared(QImage image, int cursorShape)
{
    auto icon = std::make_shared<Icon>();
    icon->stock = true;
    icon->image = std::move(image);
    icon->cursorShape = cursorShape;
    return static_cast<HICON>(Insert(icon));
}

const Predefined &ThePredefined()
{
    static const Predefined predefined{AddShared(ApplicationIconImage(), -1),
                                       AddShared(QImage(), Qt::ArrowCursor),
                                       AddShared(QImage(), Qt::IBeamCursor),
                                       AddShared(QImage(), Qt::WaitCursor)};
    return predefined;
}

// An icon image stored as PNG, limited to a sane size before it is decoded.
QImage DecodePng(const ResourceData &resource)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data), qsizetype(resource.size));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPngIconSide || size.height() > kMaxPngIconSide)
        return QImage();
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

// An icon image: PNG, or a DIB with its AND mask. 32-bit images carry their own
// alpha; one whose alpha is all zero was made without, and takes the mask.
QImage DecodeIconImage(const ResourceData &resource)
{
    static const uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (resource.size >= sizeof kPngSignature && std::equal(kPngSignature, std::end(kPngSignature), resource.data))
        return DecodePng(resource);
    Dib dib;
    if (!ParseDib(resource.data, resource.size, true, &dib))
        return QImage();
    QImage image = DibImage(dib, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    bool hasAlpha = false;
    if (dib.bitCount == 32) {
        for (int y = 0; y < image.height() && !hasAlpha; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            hasAlpha = std::any_of(line, line + image.width(), [](QRgb p) { return qAlpha(p) != 0; });
        }
        if (!hasAlpha) {
            for (int y = 0; y < image.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                std::transform(line, line + image.width(), line, [](QRgb p) { return p | 0xFF000000u; });
            }
        }
    }
    if (!hasAlpha && !ApplyIconMask(dib, &image))
        return QImage();
    return image;
}

struct GroupEntry {
    int width;
    int height;
    int bitCount;
    uint16_t id;
};

// The entries of an icon group directory (GRPICONDIR), best first: nearest to
// 32x32, the larger of two equally near, then the deeper.
bool ReadGroup(const ResourceData &group, std::vector<GroupEntry> *entries)
{
    constexpr size_t kHeader = 6;
    constexpr size_t kEntry = 14;
    if (group.size < kHeader || Read16(group.data) != 0 || Read16(group.data + 2) != 1)
        return false;
    const size_t count = Read16(group.data + 4);
    if (count == 0 || kHeader + count * kEntry > group.size)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *e = group.data + kHeader + i * kEntry;
        // A size byte of 0 means 256.
        entries->push_back(GroupEntry{e[0] ? e[0] : 256, e[1] ? e[1] : 256, Read16(e + 6), Read16(e + 12)});
    }
    auto distance = [](const GroupEntry &e) {
        return std::abs(e.width - kPreferredSize) + std::abs(e.height - kPreferredSize);
    };
    std::stable_sort(entries->begin(), entries->end(), [&](const GroupEntry &a, const GroupEntry &b) {
        if (distance(a) != distance(b))
            return distance(a) < distance(b);
        if (a.width != b.width)
            return a.width > b.width;
        return a.bitCount > b.bitCount;
    });
    return true;
}

QImage LoadIconImage(HINSTANCE instance, const ResourceData &group)
{
    std::vector<GroupEntry> entries;
    if (!ReadGroup(group, &entries))
        return QImage();
    for (const GroupEntry &entry : entries) {
        ResourceData resource;
        if (!FindResourceData(instance, MAKEINTRESOURCEA(entry.id), RT_ICON, &resource))
            continue;
        QImage image = DecodeIconImage(resource);
        if (!image.isNull())
            return image;
    }
    return QImage();
}

// Loaded icons by their group resource, which the kernel keeps for the process.
struct IconCache {
    std::mutex mutex;
    std::map<const uint8_t *, HICON> icons;
};

IconCache &TheIconCache()
{
    static IconCache cache;
    return cache;
}

std::shared_ptr<Icon> LookupIcon(HICON handle)
{
    std::lock_guard<std::mutex> lock(TableMutex());
    return LookupLocked<Icon>(handle, Kind::Icon);
}

} // namespace
} // namespace twgui::gdi

QImage twgui::IconImage(HICON icon)
{
    auto object = gdi::LookupIcon(icon);
    return object && object->cursorShape < 0 ? object->image : QImage();
}

int twgui::CursorShape(HCURSOR cursor)
{
    auto object = gdi::LookupIcon(cursor);
    return object && object->cursorShape >= 0 ? object->cursorShape : int(Qt::ArrowCursor);
}

using namespace twgui::gdi;

extern "C" HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    if (!hInstance) {
        if (lpIconName == IDI_APPLICATION)
            return ThePredefined().application;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    ResourceData group;
    if (!FindResourceData(hInstance, lpIconName, RT_GROUP_ICON, &group))
        return nullptr;
    IconCache &cache = TheIconCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.icons.find(group.data);
    if (it != cache.icons.end())
        return it->second;
    QImage image = LoadIconImage(hInstance, group);
    if (image.isNull()) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HICON icon = AddShared(std::move(image), -1);
    cache.icons.emplace(group.data, icon);
    return icon;
}

// The predefined cursors; cursor resources are not provided.
extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    if (!hInstance) {
        const Predefined &predefined = ThePredefined();
        if (lpCursorName == IDC_ARROW)
            return predefined.arrow;
        if (lpCursorName == IDC_IBEAM)
            return predefined.ibeam;
        if (lpCursorName == IDC_WAIT)
            return predefined.wait;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

// Every icon here is shared, so destroying one leaves it in place.
extern "C" BOOL WINAPI DestroyIcon(HICON hIcon)
{
    if (!LookupIcon(hIcon)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
