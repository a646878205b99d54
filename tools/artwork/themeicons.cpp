#include "themeicons.h"

#include <QDir>
#include <vector>

#include "imagefiles.h"

namespace {

// The hicolor theme's fixed sizes that desktops ask for.
constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The image of that size, else the smallest larger one scaled down, else the
// largest scaled up.
QImage IconOfSize(const std::vector<QImage> &images, int size)
{
    const QImage *larger = nullptr;
    const QImage *largest = nullptr;
    for (const QImage &image : images) {
        if (image.width() >= size && (!larger || image.width() < larger->width()))
            larger = &image;
        if (!largest || image.width() > largest->width())
            largest = &image;
    }
    const QImage &source = larger ? *larger : *largest;
    if (source.width() == size)
        return source;
    return source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

bool WriteThemeIcons(const std::string &icoPath, const std::string &dir, const std::string &name,
                     std::string &error)
{
    std::vector<QImage> images;
    if (!ReadIco(icoPath, images, error))
        return false;
    for (int size : kThemeSizes) {
        const QString sizeDir = QString::fromStdString(dir) + QString("/%1x%1/apps").arg(size);
        const QString file = sizeDir + "/" + QString::fromStdString(name) + ".png";
        if (!QDir().mkpath(sizeDir) ||
            !IconOfSize(images, size).convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            error = "cannot write " + file.toStdString();
            return false;
        }
    }
    return true;
}
