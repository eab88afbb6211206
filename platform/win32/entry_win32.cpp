// Where sorvak.exe starts, instead of the C runtime's start-up: that one
// brings what this program never uses (argument parsing, thread-local
// storage callbacks, floating-point and exception set-up, pseudo
// relocations), about a fifth of the program's bytes. msvcrt.dll readies its
// own streams as it loads; the static constructors run here, and the normal
// exit flushes the streams and runs what atexit registered.
#include <windows.h>

#include <cstdlib>

// libgcc's: runs the static constructors once, and has atexit run their
// destructors.
extern "C" void __main();

// The C runtime's start-up defines atexit; without it, msvcrt's table serves,
// the one its exit runs.
extern "C" int atexit(void (*function)())
{
    return _onexit(reinterpret_cast<_onexit_t>(reinterpret_cast<void (*)()>(function))) != nullptr
               ? 0
               : -1;
}

extern "C" [[noreturn]] void WinMainCRTStartup()
{
    __main();
    // The program reads its command line itself, and shows no window of its
    // own.
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT));
}
