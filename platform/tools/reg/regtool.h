// The reg tool's commands and the pieces they share.
#pragma once
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace regtool {

// A key as written on the command line: a root name and a sub-key path.
struct KeyPath {
    HKEY root = nullptr;
    std::string rootName;  // long form, HKEY_CURRENT_USER
    std::string subKey;    // without leading or trailing backslashes; empty for the root itself
    std::string Display() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }
    std::string Child(const std::string &name) const { return subKey.empty() ? name : subKey + "\\" + name; }
};
bool ParseKeyPath(const std::string &text, KeyPath *key);

// The words of a command line after the operation: positional arguments, switches
// that take a value and flag switches, each switch at most once.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // lower-case switch name, without '/'
    std::map<std::string, bool> flags;
    bool Has(const std::string &name) const { return values.count(name) || flags.count(name); }
    const std::string *Value(const std::string &name) const;
};
// False on a repeated switch or a missing switch value; words that are not
// switches of the command are positional.
bool ParseArgs(int argc, char **argv, const std::vector<std::string> &valueSwitches,
               const std::vector<std::string> &flagSwitches, Args *args);

// Exit status and messages; each returns the status to exit with.
int Succeeded();
int NotFound();
int Failed(LONG error);
int Failed(const std::string &what);
int SyntaxError(const char *operation);
int Cancelled();
// Asks a Yes/No question on the standard output; end of input is No.
bool Confirm(const std::string &question);

// Value types and data in the tool's notation.
std::string TypeName(DWORD type);
bool ParseTypeName(const std::string &name, DWORD *type);
std::string DisplayData(DWORD type, const std::vector<BYTE> &data);
// Data given with /d, as stored for the type; false with a message when it does not fit the type.
bool EncodeData(DWORD type, const std::string &text, std::vector<BYTE> *data, std::string *error);
const char *DisplayName(const std::string &valueName);

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
// One value, or every value in enumeration order, of an open key.
LONG ReadValue(HKEY key, const std::string &name, Value *value);
LONG ReadValues(HKEY key, std::vector<Value> *values);
LONG ReadSubKeys(HKEY key, std::vector<std::string> *names);

int Query(int argc, char **argv);
int Add(int argc, char **argv);
int Delete(int argc, char **argv);
int Export(int argc, char **argv);

} // namespace regtool
