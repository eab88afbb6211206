#!/usr/bin/env python3
"""sorvak-sim end to end on conf.txt files the loader must survive: the
program still starts, reports exactly, and launches what the file bound."""
import pathlib
import subprocess
import sys
import tempfile

UP_GESTURE = b"0 500 500\n-32768 500 500\n-32768 500 200\n0 500 200\n"


def run(sim, make_conf):
    with tempfile.TemporaryDirectory() as work:
        work = pathlib.Path(work)
        make_conf(work / "conf.txt")
        log = work / "shell.log"
        result = subprocess.run([sim, "--shell-log", str(log), str(work / "sorvak.exe")],
                                input=UP_GESTURE, capture_output=True, timeout=60, cwd=work)
        return (result.returncode, result.stdout, result.stderr,
                log.read_bytes() if log.exists() else b"")


def strange_bytes(path):
    path.write_bytes(b"\n" * 100000 + b"foo\x00= bar\n" + b"up\xe9 = x\n"
                     + b"up = note\xffpad.exe\x00junk | read\x80me\n")


CASES = [
    ("conf.txt is a directory", lambda p: p.mkdir(),
     (0, b"haut\n", b"unable to find conf.txt\n", b"")),
    ("conf.txt is a dangling link", lambda p: p.symlink_to("nowhere"),
     (0, b"haut\n", b"unable to find conf.txt\n", b"")),
    ("blank lines, zero bytes and bytes above 127", strange_bytes,
     (0, b"haut\n -> note\xffpad.exe\n",
      b"error in conf file, line 100001\n   missing value, line skipped\n"
      b"error in conf file, line 100002\n   unknown parameter up\xe9\n",
      b"note\xffpad.exe\t\n")),
]


def main():
    sim = str(pathlib.Path(sys.argv[1]).resolve())
    failed = False
    for name, make_conf, want in CASES:
        got = run(sim, make_conf)
        for field, w, g in zip(("status", "stdout", "stderr", "shell.log"), want, got):
            if w != g:
                failed = True
                print(f"{name}: {field} differs\n  want: {w!r}\n  got:  {g!r}")
        if not failed:
            print(f"{name}: ok")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
