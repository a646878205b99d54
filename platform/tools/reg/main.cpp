// reg: the registry from the command line.
//   reg query  <key> [/v <name> | /ve] [/s]
//   reg add    <key> [/v <name> | /ve] [/t <type>] [/d <data>] [/f]
//   reg delete <key> [/v <name> | /ve | /va] [/f]
//   reg export <key> <file> [/y]
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "regtool.h"

namespace {

void Usage()
{
    printf("REG Operation [Parameter List]\n\n"
           "  Operation  [ QUERY | ADD | DELETE | EXPORT ]\n\n"
           "  REG QUERY  KeyName [/v ValueName | /ve] [/s]\n"
           "  REG ADD    KeyName [/v ValueName | /ve] [/t Type] [/d Data] [/f]\n"
           "  REG DELETE KeyName [/v ValueName | /ve | /va] [/f]\n"
           "  REG EXPORT KeyName FileName [/y]\n\n"
           "  KeyName    ROOTKEY\\SubKey, ROOTKEY one of HKLM, HKCU, HKCR\n"
           "  Type       REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "ERROR: Invalid syntax.\n");
        Usage();
        return 1;
    }
    // "reg /?" and "reg <operation> /?" show the usage.
    for (int i = 1; i < argc && i <= 2; ++i) {
        if (!strcmp(argv[i], "/?") || !strcmp(argv[i], "-?")) {
            Usage();
            return 0;
        }
    }
    const char *op = argv[1];
    if (!strcasecmp(op, "query"))
        return regtool::Query(argc - 2, argv + 2);
    if (!strcasecmp(op, "add"))
        return regtool::Add(argc - 2, argv + 2);
    if (!strcasecmp(op, "delete"))
        return regtool::Delete(argc - 2, argv + 2);
    if (!strcasecmp(op, "export"))
        return regtool::Export(argc - 2, argv + 2);
    fprintf(stderr, "ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n");
    return 1;
}
