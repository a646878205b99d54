// The CRT redirects with the standard headers included after <windows.h>.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

std::string CrtAfterWindowsRead(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buffer[256];
    size_t n = std::fread(buffer, 1, sizeof buffer, f);
    std::fclose(f);
    return std::string(buffer, n);
}

int CrtAfterWindowsRemove(const std::string &path)
{
    return std::remove(path.c_str());
}

size_t CrtAfterWindowsAlgorithm()
{
    std::vector<int> v{1, 2, 1, 3};
    v.erase(std::remove(v.begin(), v.end(), 1), v.end());
    return v.size();
}
