# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The real korvane-speed-demo, built as a user builds it, run under the modem-line preload."""
import os
import subprocess
import time

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:")


def build(source_dir, build_dir, lines_dir, extra_args=()):
    """Configures and builds the program with COM1/COM2 pointing into lines_dir."""
    configure = ["cmake", "-S", source_dir, "-B", build_dir, "-G", "Ninja",
                 "-DBUILD_TESTING=OFF", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 f"-DCOM1_DEVICE={lines_dir}/com1", f"-DCOM2_DEVICE={lines_dir}/com2", *extra_args]
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "korvane-speed-demo")


class Event:
    def __init__(self, line):
        at, self.device, self.what = line.rstrip("\n").split(" ", 2)
        self.at = int(at) / 1e9

    def __repr__(self):
        return f"{self.at:.3f} {self.device} {self.what}"


class Program:
    def __init__(self, executable, desktop, preload, log_path):
        self.log_path = log_path
        if os.path.exists(log_path):
            os.unlink(log_path)
        env = dict(desktop.env, LD_PRELOAD=preload, MODEM_LINES_LOG=log_path,
                   QT_QPA_PLATFORM="xcb",
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0",
                   UBSAN_OPTIONS="print_stacktrace=1")
        self.stderr_path = log_path + ".stderr"
        self.started = time.monotonic()
        with open(self.stderr_path, "w") as stderr:
            self.process = subprocess.Popen([executable], env=env, stdout=subprocess.DEVNULL,
                                            stderr=stderr)

    @property
    def pid(self):
        return self.process.pid

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
