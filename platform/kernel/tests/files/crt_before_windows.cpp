// The CRT redirects with the standard headers included before <windows.h>.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

bool CrtBeforeWindowsWrite(const std::string &path, const std::string &text)
{
    FILE *f = std::fopen(path.c_str(), "wt");
    if (!f)
        return false;
    std::fputs(text.c_str(), f);
    return std::fclose(f) == 0;
}

int CrtBeforeWindowsRemove(const std::string &path)
{
    return remove(path.c_str());
}

int CrtBeforeWindowsRename(const std::string &from, const std::string &to)
{
    return std::rename(from.c_str(), to.c_str());
}

// The three-argument algorithm keeps its name.
size_t CrtBeforeWindowsAlgorithm()
{
    std::vector<int> v{1, 2, 1, 3};
    v.erase(std::remove(v.begin(), v.end(), 1), v.end());
    return v.size();
}
