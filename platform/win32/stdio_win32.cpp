// The mingw-w64 headers route every printf-family call of C++ code to their
// own formatter, which weighs some 10 KB. The formats printed here are %d and
// %s only, which the C runtime's own formatter writes the same, so the one
// entry point the headers call is handed to it.
#define __USE_MINGW_ANSI_STDIO 0 // NOLINT: selects the runtime's declarations
#include <stdarg.h>
#include <stdio.h>

extern "C" int __cdecl __mingw_vfprintf(FILE *stream, const char *format, va_list arguments)
{
    return vfprintf(stream, format, arguments);
}
