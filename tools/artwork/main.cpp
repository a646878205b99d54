// artwork: draws the recorder's control-bar bitmaps and the program icon, and
// writes them as resources/buttons.bmp, resources/speaker.bmp and
// resources/tarnwick.ico. Run by hand after changing a drawing, e.g.
//
//   build/bin/artwork resources --preview /tmp/artwork
//
// from the source tree; --preview also writes PNG previews (scaled up, and the
// control bar composed as the recorder paints it) read back from the new files.
//
//   artwork --theme-icons resources/tarnwick.ico <dir>
//
// writes the program icon as the desktop's icon theme files (<dir>/<N>x<N>/apps/
// tarnwick.png) and touches nothing in resources/; the build runs it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "artwork.h"
#include "imagefiles.h"
#include "preview.h"
#include "themeicons.h"

namespace {

const char kUsage[] = "usage: artwork <resources dir> [--preview <dir>]\n"
                       "       artwork --theme-icons <icon file> <dir>\n";

bool WriteArtwork(const std::string &dir, std::string &error)
{
    std::vector<QImage> icons;
    for (int size : {16, 24, 32, 48, 256})
        icons.push_back(DrawIcon(size));
    return WriteBmp24(dir + "/buttons.bmp", DrawButtons(), error) &&
           WriteBmp24(dir + "/speaker.bmp", DrawSpeaker(), error) &&
           WriteIco(dir + "/tarnwick.ico", icons, error);
}

} // namespace

int main(int argc, char **argv)
{
    std::string error;
    if (argc > 1 && strcmp(argv[1], "--theme-icons") == 0) {
        if (argc != 4) {
            fputs(kUsage, stderr);
            return 2;
        }
        if (!WriteThemeIcons(argv[2], argv[3], "tarnwick", error)) {
            fprintf(stderr, "artwork: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    std::string resourceDir, previewDir;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--preview") == 0 && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (argv[i][0] != '-' && resourceDir.empty()) {
            resourceDir = argv[i];
        } else {
            fputs(kUsage, stderr);
            return 2;
        }
    }
    if (resourceDir.empty()) {
        fputs(kUsage, stderr);
        return 2;
    }

    if (!WriteArtwork(resourceDir, error) || (!previewDir.empty() && !WritePreviews(resourceDir, previewDir, error))) {
        fprintf(stderr, "artwork: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
