// The client area: the video on top, the control bar along the bottom with its
// buttons, status and time texts and the speaker; the recording label mixed into
// the video; clicks on the bar.
#include "recorder.h"

#include <stdio.h>
#include <string.h>

#define BAR_COLOR RGB(224, 224, 224)
#define BUTTON_SIZE 24
#define TEXT_WIDTH 100
#define TEXT_HEIGHT 16
#define SHORT_TIME_WIDTH 48
#define SPEAKER_MUTED_WIDTH 15
#define LABEL_HEIGHT 22

// Status texts, each padded with spaces to 33 characters.
static const char *StatusText(char *pszBuffer, size_t cb)
{
    const char *pszWords = NULL;
    switch (g_State) {
    case NoClip: pszWords = "No clip"; break;
    case Ready: pszWords = "Ready"; break;
    case Loading: pszWords = "Loading clip"; break;
    case Stopped: pszWords = "Stopped"; break;
    default:
        if (g_nBufferingProgress >= 1 && g_nBufferingProgress <= 99) {
            snprintf(pszBuffer, cb, "Buffering: %d%%                     ", (int)g_nBufferingProgress);
            return pszBuffer;
        }
        if (g_State == Paused)
            pszWords = "Paused";
        else if (g_bRecording)
            pszWords = "Recording";
        else
            pszWords = "Playing";
        break;
    }
    snprintf(pszBuffer, cb, "%-33s", pszWords);
    return pszBuffer;
}

// Draws one 24 x 24 cell of the button bitmap (selected in hdcMem) at x.
static void DrawButton(HDC hdc, HDC hdcMem, int x, int yBar, int xCell, int yCell)
{
    StretchBlt(hdc, x, yBar, BUTTON_SIZE, BUTTON_SIZE, hdcMem, xCell, yCell, BUTTON_SIZE, BUTTON_SIZE, SRCCOPY);
}

// Draws a text into a fresh 100 x 16 bitmap and ANDs it onto the bar.
static void DrawBarText(HDC hdc, HDC hdcMem, const char *pszText, int x, int y, int cx)
{
    HBITMAP hbmText = CreateCompatibleBitmap(hdc, TEXT_WIDTH, TEXT_HEIGHT);
    HGDIOBJ hOld = SelectObject(hdcMem, hbmText);
    TextOutA(hdcMem, 0, 0, pszText, (int)strlen(pszText));
    BitBlt(hdc, x, y, cx, TEXT_HEIGHT, hdcMem, 0, 0, SRCAND);
    SelectObject(hdcMem, hOld);
    DeleteObject(hbmText);
}

void PaintControlBar(HDC hdc)
{
    RECT rc;
    GetClientRect(g_hWndApp, &rc);
    RECT rcBar = {0, rc.bottom - CONTROL_BAR_HEIGHT, rc.right, rc.bottom};
    HBRUSH hBrush = CreateSolidBrush(BAR_COLOR);
    FillRect(hdc, &rcBar, hBrush);

    HDC hdcMem = CreateCompatibleDC(hdc);
    HBITMAP hbmButtons = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_BUTTONS));
    HGDIOBJ hOld = SelectObject(hdcMem, hbmButtons);
    int yButton = rc.bottom - 26;

    // Record button.
    if (g_bRecording) {
        DrawButton(hdc, hdcMem, 54, yButton, 0, 0);
        EnableMenuItem(g_hMenu, ID_CONTROL_RECORD, MF_BYCOMMAND | MF_ENABLED);
    } else if (g_bCanRecord) {
        DrawButton(hdc, hdcMem, 54, yButton, 24, 0);
        EnableMenuItem(g_hMenu, ID_CONTROL_RECORD, MF_BYCOMMAND | MF_ENABLED);
    } else {
        DrawButton(hdc, hdcMem, 54, yButton, 24, 48);
        EnableMenuItem(g_hMenu, ID_CONTROL_RECORD, MF_BYCOMMAND | MF_GRAYED);
    }

    // Play/stop and pause by state.
    switch (g_State) {
    case NoClip:
    case Loading:
    case Ready:
        DrawButton(hdc, hdcMem, 2, yButton, g_State == Ready ? 24 : 0, g_State == Ready ? 24 : 48);
        DrawButton(hdc, hdcMem, 28, yButton, 48, 48);
        EnableMenuItem(g_hMenu, ID_CONTROL_PLAYPAUSE, MF_BYCOMMAND | (g_State == Ready ? MF_ENABLED : MF_GRAYED));
        DrawButton(hdc, hdcMem, 54, yButton, 24, 48);
        EnableMenuItem(g_hMenu, ID_CONTROL_RECORD, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(g_hMenu, ID_CONTROL_STOP, MF_BYCOMMAND | MF_GRAYED);
        break;
    case Playing:
        DrawButton(hdc, hdcMem, 2, yButton, 0, 24);
        if (g_qwDuration != 0) {
            DrawButton(hdc, hdcMem, 28, yButton, 48, 24);
            EnableMenuItem(g_hMenu, ID_CONTROL_PLAYPAUSE, MF_BYCOMMAND | MF_ENABLED);
        } else {
            DrawButton(hdc, hdcMem, 28, yButton, 48, 48);
            EnableMenuItem(g_hMenu, ID_CONTROL_PLAYPAUSE, MF_BYCOMMAND | MF_GRAYED);
        }
        EnableMenuItem(g_hMenu, ID_CONTROL_STOP, MF_BYCOMMAND | MF_ENABLED);
        break;
    case Stopped:
        DrawButton(hdc, hdcMem, 2, yButton, 24, 24);
        DrawButton(hdc, hdcMem, 28, yButton, 48, 48);
        EnableMenuItem(g_hMenu, ID_CONTROL_PLAYPAUSE, MF_BYCOMMAND | MF_ENABLED);
        EnableMenuItem(g_hMenu, ID_CONTROL_STOP, MF_BYCOMMAND | MF_GRAYED);
        break;
    case Paused:
        DrawButton(hdc, hdcMem, 2, yButton, 24, 24);
        DrawButton(hdc, hdcMem, 28, yButton, 48, 48);
        EnableMenuItem(g_hMenu, ID_CONTROL_PLAYPAUSE, MF_BYCOMMAND | MF_ENABLED);
        break;
    }

    // Speaker: mask, then image; without its waves when muted.
    HBITMAP hbmSpeaker = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_SPEAKER));
    SelectObject(hdcMem, hbmSpeaker);
    int cxSpeaker = g_lVolume == VOLUME_MUTED ? SPEAKER_MUTED_WIDTH : BUTTON_SIZE;
    StretchBlt(hdc, rc.right - 24, yButton, cxSpeaker, BUTTON_SIZE, hdcMem, 24, 0, cxSpeaker, BUTTON_SIZE, SRCAND);
    StretchBlt(hdc, rc.right - 24, yButton, cxSpeaker, BUTTON_SIZE, hdcMem, 0, 0, cxSpeaker, BUTTON_SIZE, SRCPAINT);
    SelectObject(hdcMem, hOld);

    // Elapsed time, and the duration when one is known.
    int yText = rc.bottom - 20;
    if (g_nStreamSeconds != 0) {
        char szTime[64];
        long s = g_nStreamSeconds;
        if (g_qwDuration != 0) {
            ULONGLONG d = g_qwDuration;
            snprintf(szTime, sizeof szTime, "%1d:%2d:%2d/%1d:%2d:%2d", (int)(s / 3600), (int)((s % 3600) / 60),
                     (int)(s % 60), (int)(d / 36000000000ULL), (int)((d % 36000000000ULL) / 600000000ULL),
                     (int)((d % 600000000ULL) / 10000000ULL));
        } else {
            snprintf(szTime, sizeof szTime, "%1d:%2d:%2d", (int)(s / 3600), (int)((s % 3600) / 60), (int)(s % 60));
        }
        for (char *p = szTime; *p != '\0'; ++p)
            if (*p == ' ')
                *p = '0';
        DrawBarText(hdc, hdcMem, szTime, 180, yText, g_qwDuration != 0 ? TEXT_WIDTH : SHORT_TIME_WIDTH);
    }

    char szStatus[64];
    DrawBarText(hdc, hdcMem, StatusText(szStatus, sizeof szStatus), 80, yText, TEXT_WIDTH);

    DeleteObject(hBrush);
    DeleteObject(hbmButtons);
    DeleteObject(hbmSpeaker);
    DeleteDC(hdcMem);
}

void OnPaint(HWND hWnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    if (g_bNoVideo) {
        RECT rc;
        GetClientRect(hWnd, &rc);
        FillRect(hdc, &rc, (HBRUSH)GetStockObject(BLACK_BRUSH));
    } else if (pWC != NULL) {
        HRESULT hr = pWC->RepaintVideo(hWnd, hdc);
        if (FAILED(hr))
            ReportError("FAILED(hr=0x%x) in pWC->RepaintVideo(hwnd, hdc)\n", hr);
    }
    PaintControlBar(hdc);
    EndPaint(hWnd, &ps);
}

void InvalidateControlBar()
{
    RECT rc;
    GetClientRect(g_hWndApp, &rc);
    rc.top = rc.bottom - CONTROL_BAR_HEIGHT;
    InvalidateRect(g_hWndApp, &rc, FALSE);
}

void UpdateVideoPosition()
{
    RECT rc;
    GetClientRect(g_hWndApp, &rc);
    if (pWC != NULL) {
        // No source rectangle: the whole video.
        RECT rcDest = rc;
        rcDest.bottom -= CONTROL_BAR_HEIGHT;
        pWC->SetVideoPosition(NULL, &rcDest);
    }
    InvalidateRect(g_hWndApp, NULL, pWC == NULL ? TRUE : FALSE);
    UpdateWindow(g_hWndApp);
}

HRESULT UpdateRecordingOverlay()
{
    if (pWC == NULL || pBMP == NULL)
        return S_OK;
    int cx = g_bRecording ? 70 : 1;
    HDC hdc = GetDC(g_hWndApp);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HBITMAP hbmLabel = CreateCompatibleBitmap(hdc, cx, LABEL_HEIGHT);
    HGDIOBJ hOld = SelectObject(hdcMem, hbmLabel);
    RECT rcLabel = {0, 0, cx, LABEL_HEIGHT};
    HBRUSH hRed = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(hdcMem, &rcLabel, hRed);
    SetBkColor(hdcMem, RGB(255, 0, 0));
    if (g_bRecording)
        TextOutA(hdcMem, 2, 1, "Recording", 9);

    LONG lWidth = 0, lHeight = 0;
    pWC->GetNativeVideoSize(&lWidth, &lHeight, NULL, NULL);
    VMR9AlphaBitmap bmp;
    memset(&bmp, 0, sizeof bmp);
    bmp.dwFlags = VMR9AlphaBitmap_hDC;
    bmp.hdc = hdcMem;
    bmp.pDDS = NULL;
    bmp.rSrc = rcLabel;
    // Normalised video coordinates: the lower-right corner, 2 % in from the edges.
    float fW = lWidth > 0 ? (float)lWidth : 1.0f;
    float fH = lHeight > 0 ? (float)lHeight : 1.0f;
    bmp.rDest.left = (fW - cx) / fW - 0.02f;
    bmp.rDest.top = (fH - LABEL_HEIGHT) / fH - 0.02f;
    bmp.rDest.right = 0.98f;
    bmp.rDest.bottom = 0.98f;
    bmp.fAlpha = g_bBlink && g_bRecording ? 0.5f : 0.0f;
    bmp.clrSrcKey = 0;
    bmp.dwFilterMode = 0;
    HRESULT hr = pBMP->SetAlphaBitmap(&bmp);

    SelectObject(hdcMem, hOld);
    DeleteObject(hbmLabel);
    DeleteObject(hRed);
    DeleteDC(hdcMem);
    ReleaseDC(g_hWndApp, hdc);
    return hr;
}

void HitTestControlBar(int x, int y)
{
    RECT rc;
    GetClientRect(g_hWndApp, &rc);
    // Rectangles include their left and top edges, not their right and bottom ones.
    auto inside = [x, y](int left, int top, int right, int bottom) {
        return x >= left && x < right && y >= top && y < bottom;
    };
    if (inside(2, rc.bottom - 26, 26, rc.bottom - 2)) {
        // A click while an open is under way (its box is up) must not open again.
        if (g_State == Playing)
            StopClip();
        else if (g_State == Ready || g_State == Stopped || g_State == Paused)
            PlayClip();
    }
    if (inside(28, rc.bottom - 26, 52, rc.bottom - 2) && g_State == Playing)
        PauseClip();
    if (inside(54, rc.bottom - 26, 78, rc.bottom - 2))
        ToggleRecording();
    if (inside(rc.right - 24, rc.bottom - 24, rc.right, rc.bottom))
        ToggleMute();
}
