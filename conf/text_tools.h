// Trimming and word splitting on zero-terminated byte texts. A set is a text
// whose characters are its members. Note the argument order: the set comes
// first for the splitting routines, second for trim_chars.
#pragma once

#include "platform/utf8.h"

#include <cstddef>

// Removes, in place, the leading and trailing characters of `text` that are
// in `set`. Returns 0 (doing nothing) when text is null, else 1.
int trim_chars(char *text, const char *set);

// Number of maximal runs of characters not in `set`.
int count_words(const char *set, const char *text);

// New heap copy of `text` up to the first character in `set`; null (with a
// message on the standard error) when it cannot be allocated.
char *get_first_word(const char *set, const char *text);

// New null-terminated table of heap copies of the words of `text`. Null when
// the table cannot be allocated. A word that cannot be copied ends the table
// there: its entry is null and no later word is copied, so a table shorter
// than count_words tells the caller that a copy failed.
char **str_to_word_tab(const char *set, const char *text);

// Frees each entry up to the first null, then the table. Returns 1.
int free_word_tab(char **table);

// How many of the first `limit` bytes of `text` (which holds at least that
// many) make whole characters, each `char_size(its first byte)` long: where
// the text can be cut without splitting one.
std::size_t whole_chars(const char *text, std::size_t limit,
                        unsigned (*char_size)(unsigned char first));
