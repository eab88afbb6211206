#include "shell/first_token.h"

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
