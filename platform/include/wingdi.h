// GDI: device contexts over 32-bit images, bitmaps, brushes, raster operations and
// text, and the device-independent bitmap structures that media formats carry.
#pragma once
#include <windef.h>

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD, *LPRGBQUAD;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER, *LPBITMAPFILEHEADER, *PBITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

// Raster operations.
#define SRCCOPY (DWORD)0x00CC0020
#define SRCPAINT (DWORD)0x00EE0086
#define SRCAND (DWORD)0x008800C6
#define SRCINVERT (DWORD)0x00660046
#define BLACKNESS (DWORD)0x00000042
#define WHITENESS (DWORD)0x00FF0062

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2

#define CLR_INVALID 0xFFFFFFFF

EXTERN_C HDC WINAPI CreateCompatibleDC(HDC hdc);
EXTERN_C HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);
EXTERN_C HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
EXTERN_C BOOL WINAPI DeleteObject(HGDIOBJ ho);
EXTERN_C BOOL WINAPI DeleteDC(HDC hdc);
EXTERN_C HGDIOBJ WINAPI GetStockObject(int i);
EXTERN_C HBRUSH WINAPI CreateSolidBrush(COLORREF color);
EXTERN_C int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv);
EXTERN_C BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
EXTERN_C BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc,
                                int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop);
EXTERN_C BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c);
EXTERN_C COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
EXTERN_C COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
EXTERN_C int WINAPI SetBkMode(HDC hdc, int mode);
EXTERN_C COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
#ifndef UNICODE
#define TextOut TextOutA
#define GetObject GetObjectA
#endif
