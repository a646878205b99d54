// Runs the reg tool against the scratch registry of the test.
#pragma once
#include <string>
#include <vector>

#include "twtesting.h"

inline twtest::ProcessResult Reg(std::vector<std::string> args)
{
    args.insert(args.begin(), twtest::BinPath("reg"));
    return twtest::RunProcess(args);
}

inline const char *kNotFound = "ERROR: The system was unable to find the specified registry key or value.";
inline const char *kDone = "The operation completed successfully.";

inline bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}
