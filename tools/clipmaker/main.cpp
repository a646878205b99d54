// clipmaker: writes a WMV/WMA test clip; see kUsage.
#include <cstdio>
#include <string>

#include "clip.h"
#include "options.h"

int main(int argc, char **argv)
{
    ClipSettings settings;
    bool help = false;
    std::string error;
    if (!ParseOptions(argc, argv, settings, help, error)) {
        fprintf(stderr, "clipmaker: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (help) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (!MakeClip(settings, error)) {
        fprintf(stderr, "clipmaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
