#include "shell_common/program_path.h"

#include "platform/platform.h"

#include <cstring>

namespace
{
constexpr const char TOKEN_DELIMITERS[] = "\t\",";
}

char *first_token(char *command_line)
{
    if (command_line == nullptr)
        return nullptr;
    char *token = command_line + std::strspn(command_line, TOKEN_DELIMITERS);
    if (*token == '\0')
        return nullptr;
    char *end = token + std::strcspn(token, TOKEN_DELIMITERS);
    *end = '\0';
    return token;
}

char *find_program_path(char *command_line)
{
    // The command line's first token misleads when a folder name holds a
    // comma or an unquoted argument holds a slash; the system's own answer
    // does not.
    char *path = plat_executable_path();
    return path != nullptr ? path : first_token(command_line);
}
