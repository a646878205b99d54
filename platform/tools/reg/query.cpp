// reg query <key> [/v <name> | /ve] [/s]
#include <cstdio>

#include "regtool.h"

namespace regtool {

namespace {

// Closes a key handle on scope exit.
struct KeyHandle {
    HKEY key = nullptr;
    ~KeyHandle()
    {
        if (key)
            RegCloseKey(key);
    }
};

void PrintValue(const Value &value)
{
    printf("    %s    %s    %s\n", DisplayName(value.name), TypeName(value.type).c_str(),
           DisplayData(value.type, value.data).c_str());
}

// Every value of a key and, recursively, of its subkeys, one block per key.
LONG PrintTree(HKEY parent, const std::string &subKey, const std::string &display)
{
    KeyHandle key;
    if (LONG err = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &key.key))
        return err;
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (LONG err = ReadValues(key.key, &values))
        return err;
    if (LONG err = ReadSubKeys(key.key, &subKeys))
        return err;
    printf("%s\n", display.c_str());
    for (const Value &value : values)
        PrintValue(value);
    printf("\n");
    for (const std::string &name : subKeys)
        if (LONG err = PrintTree(key.key, name, display + "\\" + name))
            return err;
    return ERROR_SUCCESS;
}

// Keys at or under one that hold the named value, with that value.
LONG SearchTree(HKEY parent, const std::string &subKey, const std::string &display, const std::string &name,
                int *matches)
{
    KeyHandle key;
    if (LONG err = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &key.key))
        return err;
    Value value;
    LONG err = ReadValue(key.key, name, &value);
    if (err == ERROR_SUCCESS) {
        printf("%s\n", display.c_str());
        PrintValue(value);
        printf("\n");
        ++*matches;
    } else if (err != ERROR_FILE_NOT_FOUND) {
        return err;
    }
    std::vector<std::string> subKeys;
    if ((err = ReadSubKeys(key.key, &subKeys)))
        return err;
    for (const std::string &child : subKeys)
        if ((err = SearchTree(key.key, child, display + "\\" + child, name, matches)))
            return err;
    return ERROR_SUCCESS;
}

} // namespace

int Query(int argc, char **argv)
{
    Args args;
    KeyPath path;
    if (!ParseArgs(argc, argv, {"v"}, {"ve", "s"}, &args) || args.positional.size() != 1 ||
        (args.Has("v") && args.Has("ve")))
        return SyntaxError("QUERY");
    if (!ParseKeyPath(args.positional[0], &path))
        return Failed("Invalid key name.");

    KeyHandle key;
    if (LONG err = RegOpenKeyExA(path.root, path.subKey.c_str(), 0, KEY_READ, &key.key))
        return err == ERROR_FILE_NOT_FOUND ? NotFound() : Failed(err);

    const std::string *name = args.Value("v");
    if (args.Has("ve") || name) {
        std::string valueName = name ? *name : std::string();
        if (args.Has("s")) {
            int matches = 0;
            printf("\n");
            if (LONG err = SearchTree(path.root, path.subKey, path.Display(), valueName, &matches))
                return Failed(err);
            if (!matches)
                return NotFound();
            printf("End of search: %d match(es) found.\n", matches);
            return 0;
        }
        Value value;
        LONG err = ReadValue(key.key, valueName, &value);
        if (err == ERROR_FILE_NOT_FOUND && !name) {
            // An unset default value is shown, not reported missing.
            printf("\n%s\n    (Default)    REG_SZ    (value not set)\n\n", path.Display().c_str());
            return 0;
        }
        if (err)
            return err == ERROR_FILE_NOT_FOUND ? NotFound() : Failed(err);
        printf("\n%s\n", path.Display().c_str());
        PrintValue(value);
        printf("\n");
        return 0;
    }

    if (args.Has("s")) {
        printf("\n");
        if (LONG err = PrintTree(path.root, path.subKey, path.Display()))
            return Failed(err);
        return 0;
    }
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (LONG err = ReadValues(key.key, &values))
        return Failed(err);
    if (LONG err = ReadSubKeys(key.key, &subKeys))
        return Failed(err);
    printf("\n");
    if (!values.empty()) {
        printf("%s\n", path.Display().c_str());
        for (const Value &value : values)
            PrintValue(value);
        printf("\n");
    }
    for (const std::string &child : subKeys)
        printf("%s\\%s\n", path.Display().c_str(), child.c_str());
    return 0;
}

} // namespace regtool
