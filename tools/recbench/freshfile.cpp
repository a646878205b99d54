#include <unistd.h>

#include "runs.h"

void RemoveEarlierRecording(const std::string &path)
{
    unlink(path.c_str());
}
