#!/usr/bin/env python3
"""Fails when a stripped Windows program reaches its size limit, imports a
DLL outside the system's own, or cannot be loaded by Windows XP SP3: it
imports a function XP lacks, which its loader refuses before the program
runs, or its header asks for a later system.

usage: check_size.py TRIPLE EXE LIMIT_BYTES
Exit status 77 when EXE has not been built.
"""

import re
import subprocess
import sys
import tempfile
from pathlib import Path

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "advapi32.dll", "comctl32.dll", "msvcrt.dll"}

# Functions of those DLLs whose documented minimum is later than Windows XP
# SP3, among those the program might reach for: call them through
# GetProcAddress, with a fallback.
LATER_THAN_XP = {
    "Vista": """
        AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
        ReleaseSRWLockShared InitializeSRWLock InitializeConditionVariable SleepConditionVariableCS
        SleepConditionVariableSRW WakeConditionVariable WakeAllConditionVariable
        InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete InitializeCriticalSectionEx
        FlsAlloc FlsFree FlsGetValue FlsSetValue CreateEventExA CreateEventExW CreateMutexExA
        CreateMutexExW CreateSemaphoreExW GetTickCount64 QueryFullProcessImageNameA
        QueryFullProcessImageNameW GetFileInformationByHandleEx SetFileInformationByHandle
        GetFinalPathNameByHandleA GetFinalPathNameByHandleW CreateSymbolicLinkA
        CreateSymbolicLinkW CancelIoEx CancelSynchronousIo GetQueuedCompletionStatusEx
        GetErrorMode GetThreadId GetProductInfo GetCurrentProcessorNumber GetLocaleInfoEx
        GetUserDefaultLocaleName LCIDToLocaleName LocaleNameToLCID CompareStringEx
        CreateThreadpoolWork SubmitThreadpoolWork CreateThreadpoolTimer
        Wow64DisableWow64FsRedirection Wow64RevertWow64FsRedirection
        RegGetValueA RegGetValueW RegDeleteTreeA RegDeleteTreeW RegSetKeyValueA RegSetKeyValueW
        ChangeWindowMessageFilter SetProcessDPIAware IsProcessDPIAware GetPhysicalCursorPos
        LogicalToPhysicalPoint PhysicalToLogicalPoint AddClipboardFormatListener
        RegisterPowerSettingNotification ShutdownBlockReasonCreate UpdateLayeredWindowIndirect
        SHGetKnownFolderPath SHGetFolderPathEx SHCreateItemFromParsingName SHGetStockIconInfo
        SHQueryUserNotificationState""",
    "7": """
        TryAcquireSRWLockExclusive TryAcquireSRWLockShared SetThreadErrorMode GetThreadErrorMode
        QueryUnbiasedInterruptTime K32GetProcessImageFileNameA K32GetProcessImageFileNameW
        K32GetModuleFileNameExA K32GetModuleFileNameExW K32EnumProcesses
        ChangeWindowMessageFilterEx CalculatePopupWindowPosition SetWindowDisplayAffinity
        RegisterTouchWindow QueryDisplayConfig GetDisplayConfigBufferSizes Shell_NotifyIconGetRect
        SetCurrentProcessExplicitAppUserModelID SHGetPropertyStoreForWindow CoGetApartmentType""",
    "8": """
        GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 WaitOnAddress SetDefaultDllDirectories
        AddDllDirectory GetPointerInfo SetCoalescableTimer IsImmersiveProcess""",
    "8.1": """
        LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI""",
    "10": """
        SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext GetWindowDpiAwarenessContext
        SetProcessDpiAwarenessContext GetDpiForWindow GetDpiForSystem GetSystemMetricsForDpi
        AdjustWindowRectExForDpi SystemParametersInfoForDpi EnableNonClientDpiScaling
        SetThreadDescription""",
    # XP's msvcrt.dll predates these; mingw-w64's import library wraps them
    # for it, so only another C runtime's library would import them.
    "Vista (msvcrt)": """
        _fseeki64 _ftelli64 _create_locale _free_locale _get_current_locale _configthreadlocale
        _set_invalid_parameter_handler _get_invalid_parameter_handler _get_errno _set_errno
        _set_output_format _get_output_format __acrt_iob_func""",
}
MINIMUM = {name: system for system, names in LATER_THAN_XP.items() for name in names.split()}
# XP is Windows 5.1, its x64 edition 5.2.
SUBSYSTEM_LIMIT = {"i686": (5, 1), "x86_64": (5, 2)}


def imports(dump):
    """(dll, function) for each function the program imports by name."""
    found, dll = [], None
    for line in dump.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
        elif dll and (entry := re.match(r"\t[0-9a-f]+\t +\d+ +(\S+)$", line)):
            found.append((dll, entry.group(1)))
        elif not line.strip():
            dll = None
    return found


def later_than_xp(dll, function):
    """The system a function needs, when it is later than XP SP3."""
    if dll == "msvcrt.dll" and function.endswith("_s"):
        return "Vista (msvcrt: the secure functions)"
    return MINIMUM.get(function)


def main():
    triple, exe, limit = sys.argv[1], Path(sys.argv[2]), int(sys.argv[3])
    if not exe.exists():
        print(f"SKIP: {exe} not built")
        return 77
    with tempfile.TemporaryDirectory() as work:
        stripped = Path(work) / exe.name
        subprocess.run([f"{triple}-strip", "-o", str(stripped), str(exe)], check=True)
        size = stripped.stat().st_size
        dump = subprocess.run([f"{triple}-objdump", "-p", str(stripped)], check=True,
                              capture_output=True, text=True).stdout
    dlls = sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})
    print(f"{exe}: {size} bytes stripped (limit {limit}), imports {', '.join(dlls)}")
    failed = False
    if size >= limit:
        print(f"FAIL: {size} bytes is not under {limit}")
        failed = True
    foreign = [dll for dll in dlls if dll not in SYSTEM_DLLS]
    if foreign or not dlls:
        print(f"FAIL: imports outside the system set: {foreign or 'no imports found'}")
        failed = True
    functions = imports(dump)
    if not functions:
        print("FAIL: no imported function found")
        failed = True
    for dll, function in functions:
        system = later_than_xp(dll, function)
        if system:
            print(f"FAIL: imports {dll} {function}, which needs Windows {system}: "
                  "Windows XP refuses to load the program")
            failed = True
    version = tuple(int(re.search(rf"{field}\s+(\d+)", dump).group(1))
                    for field in ("MajorSubsystemVersion", "MinorSubsystemVersion"))
    limit = SUBSYSTEM_LIMIT[triple.split("-")[0]]
    if version > limit:
        print(f"FAIL: subsystem version {version[0]}.{version[1]} is later than {limit[0]}.{limit[1]}")
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
