#!/usr/bin/env python3
"""Fails when a stripped Windows program reaches its size limit or imports a
DLL outside the system's own.

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
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
