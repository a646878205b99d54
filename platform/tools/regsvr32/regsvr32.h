// regsvr32: command line, and registration of one module.
#pragma once
#include <string>
#include <vector>

namespace regsvr32 {

// Exit codes, as the tool has always used them.
enum ExitCode {
    kSuccess = 0,
    kFailArgs = 1,  // bad command line
    kFailOle = 2,   // COM could not be initialised
    kFailLoad = 3,  // the module did not load
    kFailEntry = 4, // the entry point is missing
    kFailReg = 5,   // the entry point returned a failure
};

struct Options {
    bool unregister = false; // /u: DllUnregisterServer instead of DllRegisterServer
    bool silent = false;     // /s: no messages
    bool help = false;       // /?
    std::vector<std::string> modules;
};

// Parses the arguments after the program name; false with a message in error on a bad command line.
bool ParseArguments(int argc, char **argv, Options &options, std::string &error);

// Loads the module, calls its entry point and reports the outcome unless silent.
ExitCode RegisterModule(const std::string &module, const Options &options);

} // namespace regsvr32
