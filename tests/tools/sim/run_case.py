#!/usr/bin/env python3
"""Runs sorvak-sim on one case folder and compares what it wrote, byte for byte.

A case folder holds: trace (standard input), optionally conf.txt (copied beside
the program path), and the expected results: stdout, stderr, status (exit
status, default 0) and shell.log (default: no shell call).
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile


def expected(case, name, default=b""):
    path = case / name
    return path.read_bytes() if path.exists() else default


def main():
    sim, case = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve()
    with tempfile.TemporaryDirectory() as work:
        work = pathlib.Path(work)
        if (case / "conf.txt").exists():
            shutil.copy(case / "conf.txt", work / "conf.txt")
        log = work / "shell.log"
        trace = (case / "trace").read_bytes()
        result = subprocess.run(
            [str(sim), "--shell-log", str(log), str(work / "sorvak.exe")],
            input=trace, capture_output=True, timeout=60, cwd=work)
        got = {
            "stdout": result.stdout,
            "stderr": result.stderr,
            "status": str(result.returncode).encode(),
            "shell.log": log.read_bytes() if log.exists() else b"",
        }
    want = {
        "stdout": expected(case, "stdout"),
        "stderr": expected(case, "stderr"),
        "status": expected(case, "status", b"0").strip(),
        "shell.log": expected(case, "shell.log"),
    }
    failed = False
    for key in want:
        if got[key] != want[key]:
            failed = True
            print(f"{case.name}: {key} differs\n  want: {want[key]!r}\n  got:  {got[key]!r}")
    if failed:
        sys.exit(1)
    print(f"{case.name}: ok")


if __name__ == "__main__":
    main()
