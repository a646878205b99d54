// Test helper: writes <count> values "<prefix><i>" under HKCU\<key>, each a
// separate RegSetValueExA, and prints "committed <i>" after each one returns.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: regwriter <key> <prefix> <count>\n");
        return 2;
    }
    const std::string prefix = argv[2];
    const long count = strtol(argv[3], nullptr, 10);
    HKEY key = nullptr;
    if (LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, argv[1], 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &key, nullptr)) {
        fprintf(stderr, "RegCreateKeyExA failed: %ld\n", static_cast<long>(err));
        return 1;
    }
    // A payload large enough that a write takes a moment.
    std::string payload(512, 'x');
    for (long i = 0; i < count; ++i) {
        std::string name = prefix + std::to_string(i);
        std::string data = name + ":" + payload;
        LONG err = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1));
        if (err) {
            fprintf(stderr, "RegSetValueExA %s failed: %ld\n", name.c_str(), static_cast<long>(err));
            return 1;
        }
        printf("committed %ld\n", i);
        fflush(stdout);
    }
    RegCloseKey(key);
    return 0;
}
