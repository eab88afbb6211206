// What the Linux shell call runs: the argument vector for a program and its
// parameter text. Kept apart from the process start so the tests can check
// it without starting anything.
#pragma once

#include <string>
#include <vector>

// Splits `parameters` into words as a POSIX shell does (quotes and
// backslashes honoured, nothing expanded). False when the text cannot be
// split (an unclosed quote); blank text gives no words.
bool split_parameters(const char *parameters, std::vector<std::string> *words);

// The command for `program`: `executable` (its resolved path, or null when
// it is not an executable file) followed by the words of `parameters`; or,
// for anything else, `opener` with `program` and those words. Empty when
// the parameters cannot be split or there is nothing to run it with.
std::vector<std::string> build_launch_command(const char *program, const char *parameters,
                                              const char *executable, const char *opener);

// build_launch_command with `program` looked up as execvp would (a path, or
// a name on PATH) and xdg-open on PATH as the opener.
std::vector<std::string> resolve_launch_command(const char *program, const char *parameters);
