// The drawings: control-bar buttons, speaker symbol and program icon.
#pragma once
#include <QColor>
#include <QImage>

// The control bar the recorder paints the bitmaps on.
inline const QColor kBarColor(224, 224, 224);
constexpr int kCell = 24;

// 72 x 72: 3 x 3 button cells of 24 x 24. Rows: red (stop recording, record,
// pause), green (stop, play, pause), grey (play, record, pause disabled).
QImage DrawButtons();

// 48 x 24: the speaker image on black (x 0-23) and its mask, black on white
// (x 24-47). The loudspeaker stays in columns 0-14 and its waves in 15-23, so a
// muted speaker is drawn from the left 15 columns alone. The recorder ANDs the
// mask and ORs the image onto the bar, so the image's edge pixels carry the
// speaker already blended with the bar colour.
QImage DrawSpeaker();

// The program icon at size x size pixels, with straight (not premultiplied) alpha.
QImage DrawIcon(int size);
