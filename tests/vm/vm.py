#!/usr/bin/env python3
"""Runs the Linux program's scenarios on a real kernel: boots the test
machine scripts/vm.sh made (QEMU; KVM where /dev/kvm is usable and the guest
boots with it, software emulation otherwise), in which guest.py runs them on
a Wayland compositor. This side hands the guest its orders in a shared
folder, prints what it says, and sends input from QEMU's own virtio devices
through QMP when it asks.

usage: vm.py --program PATH --check PATH [SCENARIO...|all]
Exit status 77 when the machine is not made (scripts/vm.sh) or the program
not built, 1 when a scenario failed. Measurements (measure_idle,
measure_release) are asked by name only; their figures are printed as JSON
lines.
"""

import argparse
import json
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
MACHINE = Path("/var/cache/sorvak-vm")
EVIDENCE = REPO / "build" / "vm-evidence"
SCENARIOS = ["gestures", "button_keys", "plugged_later", "qemu_devices", "nothing_grabbed",
             "outsider", "check", "wayland_front", "reload", "touchpad", "session", "idle"]
MEASURES = ["measure_idle", "measure_release"]
# A KVM guest that has not reached its script by then is taken for hung.
KVM_BOOT_SECONDS = 60


def qemu_command(work, accel):
    return ["qemu-system-x86_64", "-accel", accel, "-m", "2048", "-smp", "2", "-nodefaults",
            "-display", "none", "-no-reboot",
            "-kernel", MACHINE / "vmlinuz", "-initrd", MACHINE / "initrd.img",
            "-append", f"console=ttyS0 panic=-1 loglevel=4 "
                       f"sorvak.init={REPO}/tests/vm/guest_init.sh",
            "-serial", f"file:{work}/console.log",
            "-device", "virtio-keyboard-pci", "-device", "virtio-mouse-pci",
            "-device", "virtio-tablet-pci",
            "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,"
                       "multidevs=remap",
            "-virtfs", f"local,path={work}/share,mount_tag=work,security_model=none",
            "-device", "virtio-serial-pci",
            "-chardev", f"socket,id=ctl,path={work}/ctl.sock,server=on,wait=off",
            "-device", "virtserialport,chardev=ctl,name=sorvak.ctl",
            "-qmp", f"unix:{work}/qmp.sock,server=on,wait=off"]


def connect(path, process, timeout=30):
    deadline = time.monotonic() + timeout
    while True:
        try:
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            sock.connect(str(path))
            return sock
        except OSError:
            sock.close()
            if process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"QEMU did not open {path}")
            time.sleep(0.1)


class Qmp:
    def __init__(self, path, process):
        self.file = connect(path, process).makefile("rw")
        self.file.readline()  # the greeting
        self.execute("qmp_capabilities")

    def execute(self, command, arguments=None):
        message = {"execute": command}
        if arguments is not None:
            message["arguments"] = arguments
        self.file.write(json.dumps(message) + "\n")
        self.file.flush()
        while True:
            answer = json.loads(self.file.readline())
            if "return" in answer:
                return answer["return"]
            if "error" in answer:
                raise RuntimeError(answer["error"].get("desc", str(answer["error"])))


def boot(work, accel, deadline):
    """Runs the machine once; returns (status, seconds until the guest's
    script started, or None when it never did)."""
    with open(work / "qemu.log", "wb") as log:
        process = subprocess.Popen([str(a) for a in qemu_command(work, accel)],
                                   stdout=log, stderr=log)
    started = time.monotonic()
    ready = None
    status = 1
    try:
        try:
            qmp = Qmp(work / "qmp.sock", process)
            line = connect(work / "ctl.sock", process)
        except RuntimeError:
            if accel == "kvm":  # QEMU refused KVM: emulation will do
                return None, None
            raise
        pending = b""
        while process.poll() is None:
            if ready is None and accel == "kvm" and \
                    time.monotonic() - started > KVM_BOOT_SECONDS:
                return None, None
            if time.monotonic() > deadline:
                print("timed out: the guest did not finish", flush=True)
                return 1, ready
            readable, _, _ = select.select([line], [], [], 1)
            if not readable:
                continue
            chunk = line.recv(65536)
            if not chunk:
                break
            pending += chunk
            while b"\n" in pending:
                text, _, pending = pending.partition(b"\n")
                message = json.loads(text)
                if "ready" in message:
                    ready = time.monotonic() - started
                    print(f"guest booted in {ready:.1f} s ({accel}; kernel uptime "
                          f"{message['ready']:.1f} s)", flush=True)
                elif "say" in message:
                    print(message["say"], flush=True)
                elif "measure" in message:
                    print(json.dumps(message), flush=True)
                elif "send" in message:
                    try:
                        qmp.execute("input-send-event", {"events": message["send"]})
                        answer = {"ok": True}
                    except RuntimeError as error:
                        answer = {"error": str(error)}
                    line.sendall((json.dumps(answer) + "\n").encode())
                elif "done" in message:
                    status = message["done"]
        process.wait(60)
        return status, ready
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        print(f"machine ran {time.monotonic() - started:.1f} s", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the built sorvak")
    parser.add_argument("--check", required=True, help="the built sorvak-check")
    parser.add_argument("--timeout", type=float, default=1500, help="seconds for the whole run")
    parser.add_argument("scenarios", nargs="+", choices=SCENARIOS + MEASURES + ["all"])
    args = parser.parse_args()
    if os.geteuid() != 0:
        # The guest runs this machine's programs with root's view of its
        # files (users are added there, over /etc/shadow).
        os.execvp("sudo", ["sudo", "--", sys.executable, *sys.argv])
    names = SCENARIOS if "all" in args.scenarios else args.scenarios
    missing = [p for p in (MACHINE / "vmlinuz", MACHINE / "initrd.img", Path(args.program),
                           Path(args.check)) if not p.exists()]
    if missing or not shutil.which("qemu-system-x86_64"):
        print(f"SKIP: missing {', '.join(map(str, missing)) or 'qemu-system-x86_64'} "
              f"(scripts/vm.sh makes the machine)")
        return 77
    kvm = os.access("/dev/kvm", os.R_OK | os.W_OK)
    accels = {"kvm": ["kvm"], "tcg": ["tcg"]}.get(os.environ.get("SORVAK_VM_ACCEL"),
                                                   ["kvm", "tcg"] if kvm else ["tcg"])
    deadline = time.monotonic() + args.timeout
    work = Path(tempfile.mkdtemp(prefix="sorvak-vm-"))
    try:
        for accel in accels:
            share = work / "share"
            shutil.rmtree(share, ignore_errors=True)
            share.mkdir(mode=0o777)
            share.chmod(0o777)
            config = {"program": str(Path(args.program).resolve()),
                      "check": str(Path(args.check).resolve()), "scenarios": names,
                      "slow": 1 if accel == "kvm" else 3}
            (share / "config.json").write_text(json.dumps(config))
            status, ready = boot(work, accel, deadline)
            if ready is not None or accel == accels[-1]:
                break
            print("the KVM guest did not boot; again under emulation", flush=True)
        if ready is None:
            print("the guest never reached its script; QEMU said:")
            print((work / "qemu.log").read_text(errors="replace"))
            print("the console's end:")
            print("\n".join((work / "console.log").read_text(errors="replace")
                            .splitlines()[-30:]))
            status = 1
        if status != 0:
            target = EVIDENCE / "-".join(args.scenarios)
            shutil.rmtree(target, ignore_errors=True)
            if (share / "evidence").exists():
                shutil.copytree(share / "evidence", target)
            target.mkdir(parents=True, exist_ok=True)
            for log in ("console.log", "qemu.log"):
                if (work / log).exists():
                    shutil.copy2(work / log, target / log)
            print(f"evidence kept in {target}")
        return status
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
