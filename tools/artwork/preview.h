// PNG previews of the written files, read back from disk, for a person to look at.
#pragma once
#include <string>

// Reads buttons.bmp, speaker.bmp and tarnwick.ico from resourceDir and writes into
// previewDir: the sheets scaled 4x, control bars composed as the recorder draws
// them, and the icon's images.
bool WritePreviews(const std::string &resourceDir, const std::string &previewDir, std::string &error);
