// The program icon as a desktop icon theme wants it: PNG files by size.
#pragma once
#include <string>

// Writes <dir>/<N>x<N>/apps/<name>.png for each size an icon theme looks up
// (16 to 256), from the images of an .ico file: a size the file holds is written
// as it is; another is scaled down from the next larger image.
bool WriteThemeIcons(const std::string &icoPath, const std::string &dir, const std::string &name,
                     std::string &error);
