// Video format block of media types: VIDEOINFOHEADER.
#pragma once
#include <windef.h>
#include <wingdi.h>

// Also defined by strmif.h; whichever comes first defines it.
#ifndef REFERENCE_TIME_DEFINED
#define REFERENCE_TIME_DEFINED
typedef LONGLONG REFERENCE_TIME;
#endif

// The codec data of a compressed format follows bmiHeader directly; biSize counts it.
typedef struct tagVIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
} VIDEOINFOHEADER;
