// Command line of clipmaker.
#pragma once
#include <string>

#include "clip.h"

extern const char kUsage[];

// Parses argv into settings. Returns false with a message for a bad command line;
// sets help when --help was asked for.
bool ParseOptions(int argc, char **argv, ClipSettings &settings, bool &help, std::string &error);
