// The speaker symbol and its mask.
#include "artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kSpeakerColor(88, 88, 88);
constexpr int kSpeakerColumns = 15; // the loudspeaker; the waves lie right of it
// Edge pixels covered less than this are left to the bar: blended, they would
// differ from it by a few levels, and the mask stays clean.
constexpr int kMinCoverage = 24;

// Coverage of the symbol, 24 x 24, in the alpha channel.
QImage DrawCoverage()
{
    QImage coverage(kCell, kCell, QImage::Format_ARGB32_Premultiplied);
    coverage.fill(Qt::transparent);
    QPainter p(&coverage);
    p.setRenderHint(QPainter::Antialiasing);

    p.setClipRect(QRect(0, 0, kSpeakerColumns, kCell));
    QPainterPath speaker;
    speaker.moveTo(2, 9);
    speaker.lineTo(6, 9);
    speaker.lineTo(11.5, 4);
    speaker.lineTo(13, 4);
    speaker.lineTo(13, 20);
    speaker.lineTo(11.5, 20);
    speaker.lineTo(6, 15);
    speaker.lineTo(2, 15);
    speaker.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(speaker);

    p.setClipRect(QRect(kSpeakerColumns, 0, kCell - kSpeakerColumns, kCell));
    p.setPen(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF centre(10.5, 12);
    for (double radius : {6.0, 9.0, 12.0}) {
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        p.drawArc(box, -45 * 16, 90 * 16);
    }
    return coverage;
}

int Blend(int over, int under, int alpha)
{
    return (over * alpha + under * (255 - alpha) + 127) / 255;
}

} // namespace

QImage DrawSpeaker()
{
    const QImage coverage = DrawCoverage();
    QImage out(2 * kCell, kCell, QImage::Format_RGB32);
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
            const int alpha = qAlpha(coverage.pixel(x, y));
            QRgb image = qRgb(0, 0, 0);
            QRgb mask = qRgb(255, 255, 255);
            if (alpha >= kMinCoverage) {
                image = qRgb(Blend(kSpeakerColor.red(), kBarColor.red(), alpha),
                             Blend(kSpeakerColor.green(), kBarColor.green(), alpha),
                             Blend(kSpeakerColor.blue(), kBarColor.blue(), alpha));
                mask = qRgb(0, 0, 0);
            }
            out.setPixel(x, y, image);
            out.setPixel(kCell + x, y, mask);
        }
    }
    return out;
}
