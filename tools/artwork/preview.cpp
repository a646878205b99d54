#include "preview.h"

#include <QPainter>
#include <iterator>

#include "artwork.h"
#include "imagefiles.h"

namespace {

constexpr int kBarHeight = 28;
constexpr int kBarWidth = 200;
constexpr int kMutedColumns = 15;

struct BarState {
    QPoint button1, button2, record;
    bool muted;
};

// One control bar as the recorder paints it: bar colour, three cells copied,
// then the speaker's mask ANDed and its image ORed in, 15 columns when muted.
void PaintBar(QImage &target, int top, const QImage &buttons, const QImage &speaker, const BarState &state)
{
    QPainter p(&target);
    p.fillRect(QRect(0, top, kBarWidth, kBarHeight), kBarColor);
    const int y = top + kBarHeight - 26;
    p.drawImage(QPoint(2, y), buttons, QRect(state.button1, QSize(kCell, kCell)));
    p.drawImage(QPoint(28, y), buttons, QRect(state.button2, QSize(kCell, kCell)));
    p.drawImage(QPoint(54, y), buttons, QRect(state.record, QSize(kCell, kCell)));
    p.end();

    const int width = state.muted ? kMutedColumns : kCell;
    const int left = kBarWidth - kCell;
    for (int dy = 0; dy < kCell; ++dy) {
        for (int dx = 0; dx < width; ++dx) {
            const QRgb mask = speaker.pixel(kCell + dx, dy);
            const QRgb image = speaker.pixel(dx, dy);
            const QRgb under = target.pixel(left + dx, y + dy);
            target.setPixel(left + dx, y + dy,
                            qRgb((qRed(under) & qRed(mask)) | qRed(image),
                                 (qGreen(under) & qGreen(mask)) | qGreen(image),
                                 (qBlue(under) & qBlue(mask)) | qBlue(image)));
        }
    }
}

QImage Scaled(const QImage &image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

bool Save(const QImage &image, const std::string &path, std::string &error)
{
    if (!image.save(QString::fromStdString(path), "PNG")) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool Load(const std::string &path, QImage &image, std::string &error)
{
    image = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

} // namespace

bool WritePreviews(const std::string &resourceDir, const std::string &previewDir, std::string &error)
{
    QImage buttons, speaker;
    if (!Load(resourceDir + "/buttons.bmp", buttons, error) || !Load(resourceDir + "/speaker.bmp", speaker, error))
        return false;

    // No clip; ready; playing, recording possible; recording, muted; paused, muted.
    const BarState states[] = {
        {{0, 48}, {48, 48}, {24, 48}, false}, {{24, 24}, {48, 48}, {24, 48}, false},
        {{0, 24}, {48, 24}, {24, 0}, false},  {{0, 24}, {48, 24}, {0, 0}, true},
        {{24, 24}, {48, 48}, {24, 0}, true},
    };
    constexpr int kGap = 4;
    const int count = int(std::size(states));
    QImage bars(kBarWidth, count * (kBarHeight + kGap) - kGap, QImage::Format_RGB32);
    bars.fill(Qt::white);
    for (int i = 0; i < count; ++i)
        PaintBar(bars, i * (kBarHeight + kGap), buttons, speaker, states[i]);

    if (!Save(Scaled(buttons, 4), previewDir + "/buttons_4x.png", error) ||
        !Save(Scaled(speaker, 4), previewDir + "/speaker_4x.png", error) ||
        !Save(bars, previewDir + "/controlbar.png", error) ||
        !Save(Scaled(bars, 4), previewDir + "/controlbar_4x.png", error))
        return false;

    // The icon's images as stored, the small ones 4x on a light and a dark ground.
    std::vector<QImage> icons;
    if (!ReadIco(resourceDir + "/tarnwick.ico", icons, error))
        return false;
    QImage sheet(4 * (16 + 24 + 32 + 48 + 5 * 8), 2 * 4 * 56, QImage::Format_RGB32);
    sheet.fill(QColor(240, 240, 240));
    QPainter p(&sheet);
    p.fillRect(0, sheet.height() / 2, sheet.width(), sheet.height() / 2, QColor(40, 40, 40));
    int x = 32;
    for (const QImage &icon : icons) {
        if (icon.width() > 48) {
            if (!Save(icon, previewDir + "/icon_" + std::to_string(icon.width()) + ".png", error))
                return false;
            continue;
        }
        const QImage big = Scaled(icon, 4);
        p.drawImage(x, 16, big);
        p.drawImage(x, sheet.height() / 2 + 16, big);
        x += big.width() + 32;
    }
    p.end();
    return Save(sheet, previewDir + "/icons_4x.png", error);
}
