// What the Linux shell call runs: the argument vector for a program and its
// parameter text, or why nothing can start. Kept apart from the process start
// so the tests, and sorvak-check, can ask without starting anything.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct launch_plan {
    std::vector<std::string> command; // empty when there is a problem
    // Null, or why nothing starts, as the standard error says it:
    // "unclosed quote in parameters", "program not found", "xdg-open not found".
    const char *problem = nullptr;
};

// Splits `parameters` into words as a POSIX shell does (quotes and
// backslashes honoured, nothing expanded). False when the text cannot be
// split (an unclosed quote); blank text gives no words.
bool split_parameters(const char *parameters, std::vector<std::string> *words);

// Whether a file whose first bytes are `head` (`length` of them) is one the
// kernel runs itself: an ELF file, or a script naming its interpreter (#!).
// Anything else with the execute bit (a text file on a FAT or NTFS mount)
// is a document.
bool kernel_runs(const char *head, std::size_t length);

// The plan: `executable` (the path of a program the kernel runs, or null)
// followed by the words of `parameters`; otherwise `opener` with `document`
// (what xdg-open is to open: a file, a folder, an address; null when the
// program names none of them) and those words.
launch_plan build_launch_command(const char *parameters, const char *executable,
                                 const char *document, const char *opener);

// build_launch_command with `program` looked up as execvp would (a path, or
// a name on PATH), its first bytes read, and xdg-open on PATH as the opener.
launch_plan resolve_launch_command(const char *program, const char *parameters);

// `file` handed to xdg-open whatever it holds: a file opened for editing is
// never run.
launch_plan open_command(const char *file);
