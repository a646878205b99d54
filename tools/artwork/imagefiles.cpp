#include "imagefiles.h"

#include <cstdint>
#include <fstream>

#include <QImageReader>

namespace {

constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 14;

class Bytes {
public:
    void u8(uint8_t v) { m_data.push_back(v); }
    void u16(uint16_t v)
    {
        u8(v & 0xff);
        u8(v >> 8);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    void append(const Bytes &other) { m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end()); }
    size_t size() const { return m_data.size(); }
    const std::vector<uint8_t> &data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

uint32_t RowBytes(int width, int bitsPerPixel)
{
    return ((uint32_t(width) * bitsPerPixel + 31) / 32) * 4;
}

void InfoHeader(Bytes &out, int width, int height, int bitsPerPixel, uint32_t imageSize)
{
    out.u32(kInfoHeaderSize);
    out.u32(uint32_t(width));
    out.u32(uint32_t(height));
    out.u16(1);             // planes
    out.u16(bitsPerPixel);
    out.u32(0);             // BI_RGB
    out.u32(imageSize);
    out.u32(2835);          // 72 dpi
    out.u32(2835);
    out.u32(0);             // no colour table
    out.u32(0);
}

bool WriteFile(const std::string &path, const Bytes &bytes, std::string &error)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data().data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// The DIB of one icon image: header with the doubled height of colour plus mask,
// BGRA rows, then the AND mask (1 = transparent), both bottom-up.
Bytes IconImage(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const uint32_t maskRow = RowBytes(size, 1);
    Bytes out;
    InfoHeader(out, size, 2 * size, 32, uint32_t(size) * size * 4 + maskRow * size);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const QRgb px = image.pixel(x, y);
            out.u8(qBlue(px));
            out.u8(qGreen(px));
            out.u8(qRed(px));
            out.u8(qAlpha(px));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
        for (uint8_t b : row)
            out.u8(b);
    }
    return out;
}

} // namespace

bool WriteBmp24(const std::string &path, const QImage &source, std::string &error)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const uint32_t rowBytes = RowBytes(image.width(), 24);
    const uint32_t imageSize = rowBytes * image.height();
    Bytes out;
    out.u8('B');
    out.u8('M');
    out.u32(kFileHeaderSize + kInfoHeaderSize + imageSize);
    out.u16(0);
    out.u16(0);
    out.u32(kFileHeaderSize + kInfoHeaderSize);
    InfoHeader(out, image.width(), image.height(), 24, imageSize);
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            out.u8(qBlue(px));
            out.u8(qGreen(px));
            out.u8(qRed(px));
        }
        for (uint32_t pad = uint32_t(image.width()) * 3; pad < rowBytes; ++pad)
            out.u8(0);
    }
    return WriteFile(path, out, error);
}

bool WriteIco(const std::string &path, const std::vector<QImage> &images, std::string &error)
{
    constexpr uint32_t kDirHeader = 6, kDirEntry = 16;
    Bytes dir, data;
    dir.u16(0);
    dir.u16(1); // icon, not cursor
    dir.u16(uint16_t(images.size()));
    uint32_t offset = kDirHeader + kDirEntry * uint32_t(images.size());
    for (const QImage &image : images) {
        if (image.width() != image.height() || image.width() < 1 || image.width() > 256) {
            error = "icon images must be square, 1 to 256 pixels";
            return false;
        }
        const Bytes dib = IconImage(image);
        const uint8_t side = image.width() == 256 ? 0 : uint8_t(image.width()); // 0 means 256
        dir.u8(side);
        dir.u8(side);
        dir.u8(0); // no palette
        dir.u8(0);
        dir.u16(1);  // planes
        dir.u16(32); // bits per pixel
        dir.u32(uint32_t(dib.size()));
        dir.u32(offset);
        offset += uint32_t(dib.size());
        data.append(dib);
    }
    dir.append(data);
    return WriteFile(path, dir, error);
}

bool ReadIco(const std::string &path, std::vector<QImage> &images, std::string &error)
{
    QImageReader reader(QString::fromStdString(path), "ico");
    images.clear();
    for (int i = 0; i < reader.imageCount(); ++i) {
        QImage image;
        if (reader.jumpToImage(i))
            image = reader.read();
        if (image.isNull()) {
            error = "cannot read image " + std::to_string(i) + " of " + path;
            return false;
        }
        images.push_back(image);
    }
    if (images.empty()) {
        error = "cannot read " + path + ": " + reader.errorString().toStdString();
        return false;
    }
    return true;
}
