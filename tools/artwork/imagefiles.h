// Windows bitmap and icon files, written byte by byte as the resource compiler
// expects them.
#pragma once
#include <QImage>
#include <string>
#include <vector>

// A 24-bit uncompressed .bmp file (BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up rows).
bool WriteBmp24(const std::string &path, const QImage &image, std::string &error);

// An .ico file with one 32-bit image (colour with alpha plus the 1-bit AND mask)
// for each of the given square images, which carry straight alpha.
bool WriteIco(const std::string &path, const std::vector<QImage> &images, std::string &error);

// Every image of an .ico file, in the file's order.
bool ReadIco(const std::string &path, std::vector<QImage> &images, std::string &error);
