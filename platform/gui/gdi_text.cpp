// TextOutA: UTF-8 text through Qt's font engine into the DC's image, which works on
// any thread once the QApplication exists.
#include "gdi_dc.h"
#include "qtthread.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <atomic>

namespace twgui::gdi {
namespace {

// A stock font: a plain sans face, measured like a Windows font, whose text cell
// is `cellHeight` rows with the baseline `baseline` rows below its top.
struct Face {
    int pixelSize = 0;
    int cellHeight = 0;
    int baseline = 0;
};

struct FaceSpec {
    int pixelSize;
    int minCellHeight;
};

// The system font's cell is 16 rows (13 above the baseline, 3 below), as callers
// size their text bitmaps for it; 13-pixel glyphs fill it with a row of leading
// on top. Fully hinted, their advances are whole pixels: 8 for a digit, 4 for a
// colon or slash, the widths callers size time fields by. The GUI font is the
// smaller dialog face.
constexpr FaceSpec kSystemSpec{13, 16};
constexpr FaceSpec kGuiSpec{11, 0};

const char kFamily[] = "DejaVu Sans";

// A font object of its own for each call: Qt fonts cache per-thread engines inside
// themselves and must not be shared between threads.
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

Face Measure(FaceSpec spec)
{
    const QFontMetrics metrics(MakeFont(spec.pixelSize));
    Face face;
    face.pixelSize = spec.pixelSize;
    face.cellHeight = std::max(metrics.height(), spec.minCellHeight);
    face.baseline = metrics.ascent() + (face.cellHeight - metrics.height());
    return face;
}

// Fonts need the QApplication: the first call starts the Qt thread and waits until
// it runs. False once Qt has begun to shut down.
bool QtReady()
{
    static std::atomic<bool> started{false};
    if (!started.load())
        started = RunOnQtThread([] {});
    return started.load() && !QtThreadStopping();
}

struct Faces {
    Face system;
    Face gui;
};

// Call once QtReady().
const Faces &TheFaces()
{
    static const Faces faces{Measure(kSystemSpec), Measure(kGuiSpec)};
    return faces;
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
    if (!QtReady()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (c == 0)
        return TRUE;
    const Face &face = state.face == FontFace::Gui ? TheFaces().gui : TheFaces().system;
    const QString text = QString::fromUtf8(lpString, c);
    const QFont font = MakeFont(face.pixelSize);
    const int width = QFontMetrics(font).horizontalAdvance(text);

    std::lock_guard<std::mutex> lock(*state.target.mutex);
    QImage &image = *state.target.image;
    // Nothing of the cell inside the image (also keeps coordinates far from overflow).
    if (int64_t(x) >= image.width() || int64_t(y) >= image.height() || int64_t(x) + width <= 0 ||
        int64_t(y) + face.cellHeight <= 0)
        return TRUE;
    QPainter painter(&image);
    if (state.bkMode == OPAQUE)
        painter.fillRect(QRect(x, y, width, face.cellHeight), QColor(ToQRgb(state.bkColor)));
    painter.setFont(font);
    painter.setPen(QColor(ToQRgb(state.textColor)));
    painter.drawText(QPoint(x, y + face.baseline), text);
    return TRUE;
}
