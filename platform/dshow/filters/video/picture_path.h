// The video renderers' one picture path: each sample becomes a 32-bit picture of
// the video's native size (the last picture, kept for repaints and snapshots);
// it is scaled (libswscale) from the source rectangle into the destination
// rectangle, the border colour fills what the video leaves of that rectangle,
// the mixer's alpha bitmap is blended over it, and the result goes to a window's
// client area (any thread, never waiting for the window's thread) or into a DC.
//
// Input: MEDIATYPE_Video in FORMAT_VideoInfo, RGB32 (bottom-up or top-down) or YV12.
//
// Threads: the streaming thread (Take, Present), the graph's thread (format,
// positions, bitmap) and the window's thread (Repaint) all go through m_lock,
// which is held only while pictures are converted or composed, never across a
// call into the windows library.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <strmif.h>
#include <vmr9.h>

struct SwsContext;

namespace twds {

class PicturePath {
public:
    PicturePath();
    ~PicturePath();
    PicturePath(const PicturePath &) = delete;
    PicturePath &operator=(const PicturePath &) = delete;

    // Whether the path takes a media type (S_OK) or not (VFW_E_TYPE_NOT_ACCEPTED).
    static HRESULT Check(const AM_MEDIA_TYPE &mt);
    // Takes the connection's format; the source rectangle becomes the whole video
    // and the last picture is dropped.
    HRESULT SetFormat(const AM_MEDIA_TYPE &mt);
    // The native size; false when no format is set.
    bool NativeSize(LONG *width, LONG *height);
    REFERENCE_TIME AvgTimePerFrame();

    // Converts a sample's data into the last picture.
    HRESULT Take(const BYTE *data, LONG length);
    // Composes the destination rectangle and hands it to the window's client
    // area. S_FALSE when there is nothing to show (no window, empty rectangle).
    HRESULT Present(HWND hwnd);
    // Composes the destination rectangle (border only before the first picture)
    // into a DC.
    HRESULT Repaint(HDC hdc);

    // Positions in video pixels (source) and client pixels (destination).
    // A null rectangle keeps the current one.
    HRESULT SetPosition(const RECT *source, const RECT *destination);
    void GetPosition(RECT *source, RECT *destination);
    // The source rectangle back to the whole video.
    void DefaultSource();
    void SetBorderColor(COLORREF color);
    COLORREF BorderColor();
    void SetLetterBox(bool letterBox);
    bool LetterBox();

    // The mixer bitmap: 0x00RRGGBB pixels of width x height read from the
    // caller's DC, with the caller's parameters.
    HRESULT SetAlphaBitmap(const VMR9AlphaBitmap &params, std::vector<uint32_t> pixels, int width, int height);
    HRESULT UpdateAlphaBitmap(const VMR9AlphaBitmap &params);
    HRESULT GetAlphaBitmap(VMR9AlphaBitmap *params);

    // The last picture as a packed DIB (BITMAPINFOHEADER then 32-bit bottom-up
    // rows): the size needed, and a copy into the caller's buffer. E_UNEXPECTED
    // before the first picture.
    HRESULT CurrentImage(std::vector<BYTE> *dib);

private:
    struct Bitmap;
    // Fills m_composed for the destination rectangle; m_lock held.
    void ComposeLocked();
    void BlendBitmapLocked(int vx, int vy, int vw, int vh);

    std::mutex m_lock;
    // All below: m_lock.
    LONG m_width = 0, m_height = 0;             // native size; 0 before a format
    bool m_yv12 = false;
    bool m_bottomUp = false;                     // RGB32 rows stored bottom row first
    REFERENCE_TIME m_avgTimePerFrame = 0;
    int m_lastStride = 0;                        // pixels per row of m_last (a multiple of 16)
    std::vector<uint32_t> m_last;                // native picture, top row first
    bool m_haveLast = false;
    RECT m_source{0, 0, 0, 0};
    RECT m_dest{0, 0, 0, 0};
    COLORREF m_border = 0;
    bool m_letterBox = false;
    std::unique_ptr<Bitmap> m_bitmap;
    SwsContext *m_convert = nullptr;             // YV12 to native RGB
    SwsContext *m_scale = nullptr;               // source rectangle to the video's place
    int m_scaledStride = 0;                      // pixels per row of m_scaled
    std::vector<uint32_t> m_scaled;              // the scaler's output
    std::vector<uint32_t> m_composed;            // the destination rectangle, as shown
};

} // namespace twds
