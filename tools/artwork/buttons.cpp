// The control-bar buttons: one rounded, top-lit face per cell, a flat glyph on it.
#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kRed(214, 40, 40);
const QColor kGreen(28, 150, 64);
const QColor kGrey(150, 150, 150);

enum class Glyph { Square, Disc, PlayTriangle, PauseBars };

void DrawFace(QPainter &p)
{
    // Corners outside the rounded face keep the bar colour, since the
    // recorder copies whole cells onto the bar.
    p.fillRect(QRect(0, 0, kCell, kCell), kBarColor);
    QLinearGradient shade(0, 0, 0, kCell);
    shade.setColorAt(0, QColor(252, 252, 252));
    shade.setColorAt(1, QColor(204, 204, 204));
    p.setPen(QPen(QColor(168, 168, 168), 1));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(0.5, 0.5, kCell - 1, kCell - 1), 4, 4);
}

void DrawGlyph(QPainter &p, Glyph glyph, const QColor &color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    switch (glyph) {
    case Glyph::Square:
        p.drawRoundedRect(QRectF(7, 7, 10, 10), 1.5, 1.5);
        break;
    case Glyph::Disc:
        p.drawEllipse(QPointF(12, 12), 5.5, 5.5);
        break;
    case Glyph::PlayTriangle: {
        // Centred on its centroid, which looks centred.
        QPainterPath path;
        path.moveTo(8.5, 5.5);
        path.lineTo(18.5, 12);
        path.lineTo(8.5, 18.5);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Glyph::PauseBars:
        p.drawRoundedRect(QRectF(7.5, 6.5, 3.5, 11), 0.8, 0.8);
        p.drawRoundedRect(QRectF(13, 6.5, 3.5, 11), 0.8, 0.8);
        break;
    }
}

} // namespace

QImage DrawButtons()
{
    struct Cell {
        int column, row;
        Glyph glyph;
        QColor color;
    };
    const Cell cells[] = {
        {0, 0, Glyph::Square, kRed},         {1, 0, Glyph::Disc, kRed},  {2, 0, Glyph::PauseBars, kRed},
        {0, 1, Glyph::Square, kGreen},       {1, 1, Glyph::PlayTriangle, kGreen},
        {2, 1, Glyph::PauseBars, kGreen},    {0, 2, Glyph::PlayTriangle, kGrey},
        {1, 2, Glyph::Disc, kGrey},          {2, 2, Glyph::PauseBars, kGrey},
    };

    QImage sheet(3 * kCell, 3 * kCell, QImage::Format_RGB32);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Cell &cell : cells) {
        p.save();
        p.translate(cell.column * kCell, cell.row * kCell);
        p.setClipRect(QRect(0, 0, kCell, kCell));
        DrawFace(p);
        DrawGlyph(p, cell.glyph, cell.color);
        p.restore();
    }
    return sheet;
}
