// The command line a Windows program receives, rebuilt from the arguments the
// process was started with.
#pragma once
#include <string>

namespace twcrt {

// Joins the arguments (program name excluded) with single spaces. An argument that
// is empty or holds a space or a tab is enclosed in double quotes; a double quote
// inside an argument is written \" and the backslashes in front of it, or in front
// of the closing quote, are doubled, so that the usual parsing gives the arguments back.
std::string BuildCommandLine(int argc, const char *const *argv);

} // namespace twcrt
