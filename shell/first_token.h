// The executable's path taken from the process command line.
#pragma once

// The first token of `command_line`, split at tab, double quote and comma
// (not at blanks): leading delimiters are skipped and the delimiter ending
// the token is replaced by a zero in place. Returns a pointer into
// `command_line`, or null when it is null or holds no token.
char *first_token(char *command_line);
