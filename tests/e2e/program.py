# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The real korvane-speed-demo, as it is shipped, run under the modem-line preload.

It is told its lines with --com1 and --com2, as a user names an adapter; or, started without
options, it opens its default devices in a /dev whose ttyS0 and ttyS1 lead to the lines. With
E2E_WINE_PROGRAM naming the cross-built korvane-speed-demo.exe, that program runs instead, under
Wine, with the lines as its private prefix's COM1 and COM2 and again as COM12 and COM13, and a
test's third line as COM4."""
import glob
import os
import shutil
import subprocess
import time

WINE_PROGRAM = os.environ.get("E2E_WINE_PROGRAM")
WINE_RUN = os.path.join(os.path.dirname(__file__), "..", "wine", "run.sh")

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:")


NO_SERIAL_DEVICES = os.path.join(os.path.dirname(__file__), "..", "scripts",
                                 "no_serial_devices.sh")


def command(executable, lines_dir, defaults):
    """How the program is started on the two lines in lines_dir."""
    if WINE_PROGRAM:
        options = [] if defaults else ["--com1", "COM12", "--com2", "COM13"]
        return ["bash", WINE_RUN, lines_dir, executable, *options]
    if defaults:
        return ["bash", NO_SERIAL_DEVICES, f"ttyS0={lines_dir}/com1", f"ttyS1={lines_dir}/com2",
                "--", executable]
    return [executable, "--com1", f"{lines_dir}/com1", "--com2", f"{lines_dir}/com2"]


class Event:
    def __init__(self, line):
        at, self.device, self.what = line.rstrip("\n").split(" ", 2)
        self.at = int(at) / 1e9

    def __repr__(self):
        return f"{self.at:.3f} {self.device} {self.what}"


class Program:
    def __init__(self, executable, desktop, preload, log_path, lines_dir, settings,
                 defaults=False):
        """settings: the directory of the user's settings (XDG_CONFIG_HOME); one not yet made
        holds no device chosen in an earlier run."""
        self.log_path = log_path
        # The folder the program keeps the user's choices in.
        self.settings = os.path.join(settings, "Korvane")
        if os.path.exists(log_path):
            os.unlink(log_path)
        env = dict(desktop.env, LD_PRELOAD=preload, MODEM_LINES_LOG=log_path,
                   QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=settings,
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0",
                   UBSAN_OPTIONS="print_stacktrace=1")
        if WINE_PROGRAM:
            # Wine's server opens the lines, one program at a time as a Windows driver does.
            del env["QT_QPA_PLATFORM"]
            env["MODEM_LINES_EXCLUSIVE"] = "1"
            # There it is the prefix's own, the same for every test: what an earlier test chose
            # is forgotten.
            roaming, = glob.glob(f"{lines_dir}/prefix/drive_c/users/*/AppData/Roaming")
            self.settings = os.path.join(roaming, "Korvane")
            if not os.path.exists(settings):
                shutil.rmtree(self.settings, ignore_errors=True)
                os.makedirs(settings)
        self.stderr_path = log_path + ".stderr"
        self.started = time.monotonic()
        with open(self.stderr_path, "w") as stderr:
            # Without Wine the process is the program itself: the sandbox execs it.
            self.process = subprocess.Popen(command(executable, lines_dir, defaults), env=env,
                                            stdout=subprocess.DEVNULL, stderr=stderr)
        self._pid = None if WINE_PROGRAM else self.process.pid

    @property
    def pid(self):
        """The program's own process: under Wine, the one that runs the .exe."""
        deadline = time.monotonic() + 10
        while self._pid is None and time.monotonic() < deadline:
            for entry in os.listdir("/proc"):
                try:
                    with open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                        if cmdline.read().split(b"\0")[0].endswith(b"korvane-speed-demo.exe"):
                            self._pid = int(entry)
                except (OSError, ValueError):
                    continue
            time.sleep(0.05)
        return self._pid

    def events(self, device=None):
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="utf-8") as log:
            events = [Event(line) for line in log if line.strip()]
        return [e for e in events if device is None or e.device == device]

    def wait_for_event(self, device, what, after=0.0, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for event in self.events(device):
                if event.what == what and event.at > after:
                    return event
            time.sleep(0.02)
        raise TimeoutError(f"no {what!r} on {device}: {self.events(device)[-8:]}")

    def cpu_seconds(self):
        with open(f"/proc/{self.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def resident_kib(self):
        with open(f"/proc/{self.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout):
        try:
            self.process.wait(timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
        return self.process.returncode

    def sanitizer_report(self):
        with open(self.stderr_path, encoding="utf-8", errors="replace") as stderr:
            lines = stderr.read().splitlines()
        return [line for line in lines
                if any(mark in line for mark in SANITIZER_MARKS)]
