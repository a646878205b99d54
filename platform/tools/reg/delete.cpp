// reg delete <key> [/v <name> | /ve | /va] [/f]
#include "regtool.h"

namespace regtool {

namespace {

// Deletes a key with everything under it, deepest keys first.
LONG DeleteTree(HKEY parent, const std::string &subKey)
{
    HKEY key = nullptr;
    if (LONG err = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, &key))
        return err;
    char name[256];
    LONG err;
    while ((err = RegEnumKeyA(key, 0, name, sizeof name)) == ERROR_SUCCESS)
        if ((err = DeleteTree(key, name)))
            break;
    RegCloseKey(key);
    if (err != ERROR_NO_MORE_ITEMS)
        return err;
    return RegDeleteKeyA(parent, subKey.c_str());
}

} // namespace

int Delete(int argc, char **argv)
{
    Args args;
    KeyPath path;
    if (!ParseArgs(argc, argv, {"v"}, {"ve", "va", "f"}, &args) || args.positional.size() != 1 ||
        args.Has("v") + args.Has("ve") + args.Has("va") > 1)
        return SyntaxError("DELETE");
    if (!ParseKeyPath(args.positional[0], &path))
        return Failed("Invalid key name.");
    const bool force = args.Has("f");

    if (!args.Has("v") && !args.Has("ve") && !args.Has("va")) {
        if (path.subKey.empty())
            return Failed("Invalid key name: a root key cannot be deleted.");
        HKEY key = nullptr;
        if (LONG err = RegOpenKeyExA(path.root, path.subKey.c_str(), 0, KEY_READ, &key))
            return err == ERROR_FILE_NOT_FOUND ? NotFound() : Failed(err);
        RegCloseKey(key);
        if (!force && !Confirm("Permanently delete the registry key " + path.Display() + " (Yes/No)?"))
            return Cancelled();
        LONG err = DeleteTree(path.root, path.subKey);
        return err ? Failed(err) : Succeeded();
    }

    HKEY key = nullptr;
    if (LONG err = RegOpenKeyExA(path.root, path.subKey.c_str(), 0, KEY_ALL_ACCESS, &key))
        return err == ERROR_FILE_NOT_FOUND ? NotFound() : Failed(err);
    LONG err = ERROR_SUCCESS;
    if (args.Has("va")) {
        std::vector<Value> values;
        err = ReadValues(key, &values);
        if (!err && !force && !Confirm("Permanently delete all values under the registry key " + path.Display() + " (Yes/No)?")) {
            RegCloseKey(key);
            return Cancelled();
        }
        for (size_t i = 0; !err && i < values.size(); ++i) {
            err = RegDeleteValueA(key, values[i].name.c_str());
            if (err == ERROR_FILE_NOT_FOUND)  // gone already
                err = ERROR_SUCCESS;
        }
    } else {
        const std::string name = args.Has("v") ? *args.Value("v") : std::string();
        DWORD size = 0;
        err = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
        if (!err && !force && !Confirm(std::string("Permanently delete the registry value ") + DisplayName(name) + " (Yes/No)?")) {
            RegCloseKey(key);
            return Cancelled();
        }
        if (!err)
            err = RegDeleteValueA(key, name.c_str());
    }
    RegCloseKey(key);
    if (err == ERROR_FILE_NOT_FOUND)
        return NotFound();
    return err ? Failed(err) : Succeeded();
}

} // namespace regtool
