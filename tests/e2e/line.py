# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""A serial line for the real program: a socat null-modem pair of pseudo-terminals. The program
opens one end by the name it was built with; the test plays the far end."""
import os
import select
import subprocess
import time
import tty


class Line:
    def __init__(self, directory, name):
        self.near = os.path.join(directory, name)
        self.far_path = os.path.join(directory, "far-" + name)
        self.far = None
        self.socat = None
        self.connect()

    def connect(self):
        for path in (self.near, self.far_path):
            if os.path.lexists(path):
                os.unlink(path)
        self.socat = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.near}", f"pty,raw,echo=0,link={self.far_path}"],
            stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not (os.path.exists(self.near) and os.path.exists(self.far_path)):
            if time.monotonic() > deadline:
                raise TimeoutError("socat made no pseudo-terminals")
            time.sleep(0.02)
        self.far = os.open(self.far_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.far)

    def device(self):
        """The pseudo-terminal behind the program's end, as the record names it."""
        return os.path.realpath(self.near)

    def hang_up(self):
        if self.far is not None:
            os.close(self.far)
            self.far = None
        if self.socat:
            self.socat.terminate()
            self.socat.wait()
            self.socat = None

    def write(self, data):
        view = memoryview(data)
        while view:
            select.select([], [self.far], [], 5)
            try:
                view = view[os.write(self.far, view):]
            except BlockingIOError:
                pass

    def read(self, count=None, quiet=0.3, timeout=10.0):
        """Reads until count bytes came, or until the line has been quiet for a while."""
        data = b""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and (count is None or len(data) < count):
            ready, _, _ = select.select([self.far], [], [], quiet)
            if not ready:
                if count is None:
                    break
                continue
            try:
                data += os.read(self.far, 65536)
            except BlockingIOError:
                pass
        return data
