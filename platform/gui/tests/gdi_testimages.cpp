// Writes the bitmap and icon files of the GDI tests' resource script, byte by byte,
// into the directory given as the only argument: well-formed bitmaps of each depth,
// malformed bitmaps (raw, as the resource would hold them) and icon files.
#include "gdi_testimages.h"

#include <QBuffer>
#include <QImage>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace gditest;

void Put16(std::string &s, uint32_t v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}

void Put32(std::string &s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

std::string Header(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0,
                   uint32_t clrUsed = 0, uint16_t planes = 1, uint32_t size = 40)
{
    std::string h;
    Put32(h, size);
    Put32(h, uint32_t(width));
    Put32(h, uint32_t(height));
    Put16(h, planes);
    Put16(h, bitCount);
    Put32(h, compression);
    for (int i = 0; i < 3; ++i)
        Put32(h, 0); // image size, resolution
    Put32(h, clrUsed);
    Put32(h, 0);
    return h;
}

// Rows of packed pixel values (palette indices, or 0xRRGGBB), each padded to 4
// bytes, the bottom row first unless topDown.
std::string Rows(int width, int height, int bitCount, bool topDown, const std::function<uint32_t(int, int)> &value)
{
    std::string out;
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        std::string row;
        uint32_t acc = 0;
        int accBits = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            if (bitCount >= 24) {
                row += char(v & 0xFF);
                row += char((v >> 8) & 0xFF);
                row += char((v >> 16) & 0xFF);
                if (bitCount == 32)
                    row += char(v >> 24);
                continue;
            }
            acc = (acc << bitCount) | v;
            accBits += bitCount;
            if (accBits == 8) {
                row += char(acc);
                acc = 0;
                accBits = 0;
            }
        }
        if (accBits)
            row += char(acc << (8 - accBits));
        while (row.size() % 4)
            row += '\0';
        out += row;
    }
    return out;
}

std::string Palette(int count, const std::function<uint32_t(int)> &color)
{
    std::string p;
    for (int i = 0; i < count; ++i)
        Put32(p, color(i));
    return p;
}

// A .bmp file: the file header, then the packed DIB.
std::string BmpFile(const std::string &dib, size_t bitsOffset)
{
    std::string f = "BM";
    Put32(f, uint32_t(14 + dib.size()));
    Put32(f, 0);
    Put32(f, uint32_t(14 + bitsOffset));
    return f + dib;
}

std::string Bitmap(const std::string &header, const std::string &table, const std::string &bits)
{
    return BmpFile(header + table + bits, header.size() + table.size());
}

// One icon image: header with doubled height, colour rows and the AND mask.
struct IconImage {
    int size;
    int bitCount;
    std::string data;
};

IconImage SolidIcon(int size, int bitCount, uint32_t color, const std::function<int(int, int)> &alpha,
                    const std::function<bool(int, int)> &transparent)
{
    IconImage image{size, bitCount, Header(size, 2 * size, uint16_t(bitCount))};
    if (bitCount == 4) {
        image.data += Palette(16, [&](int i) { return i == 1 ? color : 0; });
        image.data += Rows(size, size, 4, false, [](int, int) { return 1u; });
    } else {
        image.data += Rows(size, size, bitCount, false, [&](int x, int y) {
            return color | (bitCount == 32 ? uint32_t(alpha(x, y)) << 24 : 0);
        });
    }
    image.data += Rows(size, size, 1, false, [&](int x, int y) { return transparent(x, y) ? 1u : 0u; });
    return image;
}

std::string IcoFile(const std::vector<IconImage> &images)
{
    std::string f;
    Put16(f, 0);
    Put16(f, 1);
    Put16(f, uint32_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const IconImage &image : images) {
        f += char(image.size >= 256 ? 0 : image.size);
        f += char(image.size >= 256 ? 0 : image.size);
        f += char(image.bitCount == 4 ? 16 : 0);
        f += '\0';
        Put16(f, 1);
        Put16(f, uint32_t(image.bitCount));
        Put32(f, uint32_t(image.data.size()));
        Put32(f, offset);
        offset += uint32_t(image.data.size());
    }
    for (const IconImage &image : images)
        f += image.data;
    return f;
}

// A raw icon group directory naming one image resource.
std::string GroupDirectory(uint16_t imageId)
{
    std::string g;
    Put16(g, 0);
    Put16(g, 1);
    Put16(g, 1);
    g += char(32);
    g += char(32);
    g += '\0';
    g += '\0';
    Put16(g, 1);
    Put16(g, 24);
    Put32(g, 1000);
    Put16(g, imageId);
    return g;
}

std::vector<std::string> BadBitmaps()
{
    const std::string pixels16 = Rows(16, 16, 24, false, [](int, int) { return 0x808080u; });
    const std::string masks = Palette(3, [](int i) { return 0xFFu << (8 * i); });
    return {
        Header(4, 4, 24).substr(0, 20),                                         // header cut short
        Header(1, 1, 24, 0, 0, 1, 0xFFFFFFF0u) + std::string(4, '\0'),          // header size beyond the data
        Header(16, 16, 24) + pixels16.substr(0, pixels16.size() - 10),          // pixel rows cut short
        Header(-4, 4, 24) + std::string(64, '\0'),                              // negative width
        Header(4, 0, 24) + std::string(64, '\0'),                               // no rows
        Header(4, 4, 7) + std::string(64, '\0'),                                // no such depth
        Header(4, 4, 8, 1 /* BI_RLE8 */) + std::string(1024 + 64, '\0'),         // compressed
        Header(4, 4, 8, 0, 300) + std::string(1200 + 64, '\0'),                 // palette larger than the depth allows
        Header(1, 1, 24, 0, 0x40000000u) + std::string(64, '\0'),               // palette beyond the data
        Header(100000, 100000, 1) + std::string(64, '\0'),                      // absurd size
        Header(4, INT_MIN, 24) + std::string(64, '\0'),                         // height with no magnitude
        Header(INT_MAX, 1, 32) + std::string(64, '\0'),                         // a row longer than any data
        Header(1, 1, 32, 3 /* BI_BITFIELDS */) + std::string(4, '\0'),          // masks missing
    };
}

bool Write(const std::string &path, const std::string &data)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

std::string PngIconImage()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(0xFF000000u | kIconPngColor);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    auto opaque = [](int, int) { return 255; };
    auto none = [](int, int) { return false; };
    std::vector<std::pair<std::string, std::string>> files = {
        {"rgb24.bmp", Bitmap(Header(5, 3, 24), "", Rows(5, 3, 24, false, Rgb24Pixel))},
        {"pal8.bmp", Bitmap(Header(3, 4, 8, 0, 4), Palette(4, Pal8Color),
                            Rows(3, 4, 8, false, [](int x, int y) { return uint32_t(Pal8Index(x, y)); }))},
        {"pal4.bmp", Bitmap(Header(5, -2, 4), Palette(16, [](int i) { return uint32_t(17 * i) * 0x010101u; }),
                            Rows(5, 2, 4, true, [](int x, int y) { return uint32_t(x + 5 * y); }))},
        {"mono.bmp", Bitmap(Header(10, 2, 1), Palette(2, [](int i) { return i ? 0xFFFF00u : 0u; }),
                            Rows(10, 2, 1, false, [](int x, int y) { return MonoPixel(x, y) ? 1u : 0u; }))},
        {"bgrx32.bmp", Bitmap(Header(3, 2, 32), "", Rows(3, 2, 32, false, Rgb32Pixel))},
        // Masks putting red in the low byte and blue in the third: the stored bytes
        // are the pixel's red, green, blue.
        {"bitfields32.bmp",
         Bitmap(Header(3, 2, 32, 3), Palette(3, [](int i) { return 0xFFu << (8 * i); }),
                Rows(3, 2, 32, false, [](int x, int y) {
                    const uint32_t p = Rgb32Pixel(x, y);
                    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
                }))},
        {"sizes.ico", IcoFile({SolidIcon(16, 24, kIcon16Color, opaque, none),
                               SolidIcon(32, 24, kIcon32Color, opaque, Icon32Transparent),
                               SolidIcon(48, 32, kIcon48Color, Icon48Alpha, none)})},
        {"alpha.ico", IcoFile({SolidIcon(16, 4, kIcon16Color, opaque, none),
                               SolidIcon(48, 32, kIcon48Color, Icon48Alpha, none)})},
        {"png.ico", IcoFile({IconImage{32, 32, PngIconImage()}})},
        {"badgroup.bin", GroupDirectory(999)},
        {"badimagegroup.bin", GroupDirectory(ID_RAW_BAD_ICON)},
        {"badicon.bin", Header(32, 64, 24) + std::string(100, '\0')},
    };
    const std::vector<std::string> bad = BadBitmaps();
    for (size_t i = 0; i < bad.size(); ++i)
        files.emplace_back("bad" + std::to_string(i) + ".bin", bad[i]);
    for (const auto &[name, data] : files) {
        if (!Write(dir + name, data)) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
