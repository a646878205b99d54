// TextOutA: UTF-8 text through Qt's font engine. The Qt thread lays the text out
// and renders its ink; the calling thread then paints the cell into the DC's image.
// Fonts are used on the Qt thread only, so their per-thread caches live and die
// with the QApplication there.
#include "gdi_dc.h"
#include "qt/qtthread.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace twgui::gdi {
namespace {

// A stock font: a plain sans face, measured like a Windows font, whose text cell
// is `cellHeight` rows with the baseline `baseline` rows below its top.
struct Face {
    int pixelSize = 0;
    int cellHeight = 0;
    int baseline = 0;
};

struct FaceSize {
    int pixelSize;
    int minCellHeight;
};

// The system font's cell is 16 rows (13 above the baseline, 3 below), as callers
// size their text bitmaps for it; 13-pixel glyphs fill it with a row of leading
// on top. Fully hinted, their advances are whole pixels: 8 for a digit, 4 for a
// colon or slash, the widths callers size time fields by. The GUI font is the
// smaller dialog face.
constexpr FaceSize kSystemSize{13, 16};
constexpr FaceSize kGuiSize{11, 0};

const char kFamily[] = "DejaVu Sans";

QFont MakeFont(int pixelSize)
{
    QFont font(QString::fromLatin1(kFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferFullHinting);
    // Grey anti-aliasing only: colour fringes would show through the masking
    // operations text bitmaps are combined with.
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    return font;
}

Face Measure(FaceSize size)
{
    const QFontMetrics metrics(MakeFont(size.pixelSize));
    Face face;
    face.pixelSize = size.pixelSize;
    face.cellHeight = std::max(metrics.height(), size.minCellHeight);
    face.baseline = metrics.ascent() + (face.cellHeight - metrics.height());
    return face;
}

// Qt thread only.
const Face &TheFace(FontFace which)
{
    static const Face system = Measure(kSystemSize);
    static const Face gui = Measure(kGuiSize);
    return which == FontFace::Gui ? gui : system;
}

// One text as the Qt thread rendered it: its cell, and the ink of the part that
// can be seen as the alpha channel of an image whose left edge lies at cell
// column inkLeft. Glyphs may reach a little beyond the cell's sides.
struct Rendered {
    int width = 0;
    int height = 0;
    int inkLeft = 0;
    QImage ink;
};

// Renders on the Qt thread the cell columns [from, to) of the text, which are
// what the target can show, so a huge text costs no huge image.
void Render(const QString &text, FontFace which, int64_t from, int64_t to, Rendered *out)
{
    const Face &face = TheFace(which);
    const QFont font = MakeFont(face.pixelSize);
    out->width = QFontMetrics(font).horizontalAdvance(text);
    out->height = face.cellHeight;
    const int margin = face.pixelSize;
    const int64_t left = std::max<int64_t>(from, 0) - margin;
    const int64_t right = std::min<int64_t>(to, out->width) + margin;
    if (right <= left)
        return;
    out->inkLeft = int(left);
    out->ink = QImage(int(right - left), face.cellHeight, QImage::Format_ARGB32_Premultiplied);
    if (out->ink.isNull())
        return;
    out->ink.fill(Qt::transparent);
    QPainter painter(&out->ink);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(-double(left), face.baseline), text);
}

int Mix(int back, int fore, int alpha)
{
    return (back * (255 - alpha) + fore * alpha + 127) / 255;
}

// The part of the rectangle at (left, top) of the size given that lies in the
// image, or an empty rectangle; computed wide so no coordinate overflows.
QRect Visible(const QImage &image, int64_t left, int64_t top, int64_t width, int64_t height)
{
    const int64_t l = std::clamp<int64_t>(left, 0, image.width());
    const int64_t t = std::clamp<int64_t>(top, 0, image.height());
    const int64_t r = std::clamp<int64_t>(left + width, 0, image.width());
    const int64_t b = std::clamp<int64_t>(top + height, 0, image.height());
    return r > l && b > t ? QRect(int(l), int(t), int(r - l), int(b - t)) : QRect();
}

// Paints the cell at (x, y): the background in OPAQUE mode, then the ink.
void Compose(QImage &image, int x, int y, const Rendered &text, const DcState &state)
{
    if (state.bkMode == OPAQUE) {
        const QRect cell = Visible(image, x, y, text.width, text.height);
        const QRgb back = ToQRgb(state.bkColor);
        for (int row = cell.top(); !cell.isEmpty() && row <= cell.bottom(); ++row) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
            std::fill(line + cell.left(), line + cell.right() + 1, back);
        }
    }
    const QRgb fore = ToQRgb(state.textColor);
    const int64_t inkX = int64_t(x) + text.inkLeft;
    const QRect ink = Visible(image, inkX, y, text.ink.width(), text.ink.height());
    for (int row = ink.top(); !ink.isEmpty() && row <= ink.bottom(); ++row) {
        const auto *src = reinterpret_cast<const QRgb *>(text.ink.constScanLine(int(row - int64_t(y))));
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int col = ink.left(); col <= ink.right(); ++col) {
            const int alpha = qAlpha(src[col - inkX]);
            if (alpha == 0)
                continue;
            const QRgb back = line[col];
            line[col] = qRgb(Mix(qRed(back), qRed(fore), alpha), Mix(qGreen(back), qGreen(fore), alpha),
                             Mix(qBlue(back), qBlue(fore), alpha));
        }
    }
}

} // namespace
} // namespace twgui::gdi

using namespace twgui::gdi;

// The text cell starts at (x, y); in OPAQUE mode it is filled with the background
// colour first. The text is the first c bytes of lpString, in UTF-8.
extern "C" BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c)
{
    if (c < 0 || (c > 0 && !lpString)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DcState state;
    if (!SnapshotDc(hdc, &state))
        return FALSE;
    if (c == 0)
        return TRUE;
    int targetWidth = 0;
    {
        std::lock_guard<std::mutex> lock(*state.target.mutex);
        targetWidth = state.target.image->width();
    }
    const QString text = QString::fromUtf8(lpString, c);
    Rendered rendered;
    if (!twgui::RunOnQtThread([&] { Render(text, state.face, -int64_t(x), int64_t(targetWidth) - x, &rendered); })) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(*state.target.mutex);
    Compose(*state.target.image, x, y, rendered, state);
    return TRUE;
}
