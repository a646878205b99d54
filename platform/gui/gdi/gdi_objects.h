// What the GDI objects offer the window code: icon pictures, cursor shapes and brush
// colours.
#pragma once
#include <windows.h>

#include <QImage>

namespace twgui {

// The picture of an icon (QImage::Format_ARGB32); a null image for a handle that is
// no icon, or a cursor.
QImage IconImage(HICON icon);

// The Qt::CursorShape of a cursor; Qt::ArrowCursor for any other handle.
int CursorShape(HCURSOR cursor);

// The colour of a solid brush, or of a system colour given as a brush
// ((HBRUSH)(COLOR_WINDOW + 1)); false for the null brush or a handle that is no brush.
bool BrushColor(HBRUSH brush, QRgb *color);

} // namespace twgui
