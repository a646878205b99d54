// The program icon: a play triangle on a dark tile, with a red record dot.
#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage DrawIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0); // drawn on a 32-unit grid

    const QColor tileTop(62, 74, 92);
    const QColor tileBottom(24, 30, 42);
    QLinearGradient tile(0, 0, 0, 32);
    tile.setColorAt(0, tileTop);
    tile.setColorAt(1, tileBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);

    QPainterPath play;
    play.moveTo(9, 6.5);
    play.lineTo(24.5, 15.5);
    play.lineTo(9, 24.5);
    play.closeSubpath();
    p.setBrush(QColor(245, 245, 245));
    p.drawPath(play);

    // A ring of the tile's colour keeps the dot apart from the triangle.
    const QPointF dot(23, 23);
    p.setBrush(tileBottom);
    p.drawEllipse(dot, 7, 7);
    p.setBrush(QColor(226, 38, 38));
    p.drawEllipse(dot, 5.2, 5.2);
    p.end();

    return icon.convertToFormat(QImage::Format_ARGB32);
}
