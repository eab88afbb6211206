// The mingw-w64 headers route every printf-family call of C++ code to their
// own formatter, which weighs some 10 KB. The formats used here are %d, %ld,
// %s and %.*s only, which the C runtime's own formatter writes the same, so
// the entry points the headers call are handed to it.
#define __USE_MINGW_ANSI_STDIO 0 // NOLINT: selects the runtime's declarations
#include <stdarg.h>
#include <stdio.h>

extern "C" int __cdecl __mingw_vfprintf(FILE *stream, const char *format, va_list arguments)
{
    return vfprintf(stream, format, arguments);
}

// The runtime's version leaves a full buffer unterminated; this one always
// terminates, and cuts. Nothing here asks it for the length alone.
extern "C" int __cdecl __mingw_vsnprintf(char *buffer, size_t size, const char *format,
                                         va_list arguments)
{
    if (size == 0)
        return 0;
    int written = _vsnprintf(buffer, size - 1, format, arguments);
    buffer[size - 1] = '\0';
    return written < 0 ? static_cast<int>(size - 1) : written;
}

extern "C" int __cdecl __mingw_snprintf(char *buffer, size_t size, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int written = __mingw_vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    return written;
}
