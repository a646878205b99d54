// reg add <key> [/v <name> | /ve] [/t <type>] [/d <data>] [/f]
#include "regtool.h"

namespace regtool {

int Add(int argc, char **argv)
{
    Args args;
    KeyPath path;
    if (!ParseArgs(argc, argv, {"v", "t", "d"}, {"ve", "f"}, &args) || args.positional.size() != 1 ||
        (args.Has("v") && args.Has("ve")))
        return SyntaxError("ADD");
    if (!ParseKeyPath(args.positional[0], &path))
        return Failed("Invalid key name.");

    // Data or a type without a name sets the default value, as /ve does.
    const bool setValue = args.Has("v") || args.Has("ve") || args.Has("t") || args.Has("d");
    const std::string name = args.Has("v") ? *args.Value("v") : std::string();
    DWORD type = REG_SZ;
    if (const std::string *typeName = args.Value("t"); typeName && !ParseTypeName(*typeName, &type))
        return Failed("Invalid type \"" + *typeName + "\"; use REG_SZ, REG_EXPAND_SZ, REG_DWORD or REG_BINARY.");
    std::vector<BYTE> data;
    std::string error;
    if (setValue && !EncodeData(type, args.Has("d") ? *args.Value("d") : std::string(), &data, &error))
        return Failed(error);

    HKEY key = nullptr;
    if (LONG err = RegCreateKeyExA(path.root, path.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return Failed(err);
    LONG err = ERROR_SUCCESS;
    if (setValue) {
        DWORD size = 0;
        bool exists = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
        if (exists && !args.Has("f") &&
            !Confirm(std::string("Value ") + DisplayName(name) + " exists, overwrite(Yes/No)?")) {
            RegCloseKey(key);
            return Cancelled();
        }
        err = RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
    return err ? Failed(err) : Succeeded();
}

} // namespace regtool
