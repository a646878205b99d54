// Messages, exit statuses and questions to the user.
#include <cctype>
#include <cstdio>
#include <iostream>

#include "regtool.h"

namespace regtool {

namespace {

std::string ErrorText(LONG error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_KEY_DELETED: return "Illegal operation attempted on a registry key that has been marked for deletion.";
    case ERROR_REGISTRY_CORRUPT: return "The structure of the registry database is corrupted.";
    case ERROR_REGISTRY_IO_FAILED: return "The registry database could not be read or written.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_BUSY: return "The registry database is busy.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command.";
    default: return "Registry error " + std::to_string(error) + ".";
    }
}

} // namespace

int Succeeded()
{
    printf("The operation completed successfully.\n");
    return 0;
}

int NotFound()
{
    return Failed(ERROR_FILE_NOT_FOUND);
}

int Failed(LONG error)
{
    return Failed(ErrorText(error));
}

int Failed(const std::string &what)
{
    fflush(stdout);
    fprintf(stderr, "ERROR: %s\n", what.c_str());
    return 1;
}

int SyntaxError(const char *operation)
{
    return Failed(std::string("Invalid syntax.\nType \"REG ") + operation + " /?\" for usage.");
}

int Cancelled()
{
    printf("The operation was cancelled by the user.\n");
    return 1;
}

bool Confirm(const std::string &question)
{
    std::string answer;
    for (;;) {
        printf("%s ", question.c_str());
        fflush(stdout);
        if (!std::getline(std::cin, answer)) {
            printf("\n");
            return false;
        }
        if (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'))
            return true;
        if (!answer.empty() && (answer[0] == 'n' || answer[0] == 'N'))
            return false;
    }
}

} // namespace regtool
