// Where the program is, so conf.txt can be found beside it.
#pragma once

// The first token of `command_line`, split at tab, double quote and comma
// (not at blanks): leading delimiters are skipped and the delimiter ending
// the token is replaced by a zero in place. Returns a pointer into
// `command_line`, or null when it is null or holds no token.
char *first_token(char *command_line);

// The executable's own path as the system tells it, or, when it cannot, the
// first token of `command_line` (cut in place). Null when neither gives a
// path. The text is kept for the life of the process.
char *find_program_path(char *command_line);
