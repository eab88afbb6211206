// Reads a file line by line through one process-wide 1024-byte buffer. Only
// one file can be read at a time, and to its end before the next.
#pragma once

#include <cstdio>

constexpr int READ_BUF_SIZE = 1024;

// The next line without its line feed, as a new heap string, or null at the
// end of the file. Null also after an allocation failure (with a message on
// the standard error); the reader is then reset and ready for a new file.
char *read_line(std::FILE *file);

// `line` (null: nothing) followed by the `n` bytes of the buffer at its
// current position, consuming them and the byte after them. The pending line
// grows geometrically, so a long line costs time linear in its length. Only
// read_line's own pending line may be passed. On allocation failure frees
// `line`, prints "add_to_line : error malloc" and returns null.
char *add_to_line(char *line, int n);

// Empties the buffer so the next read starts a new file.
void reset_line_reader();
