# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The real program on a real X server, driven as a person would: Xvfb, xdotool, the clipboard.

Control positions come from the window's designed twips in src/window/control_table.cpp.
"""
import os
import re
import struct
import subprocess
import time
import zlib

from Xlib import X, display as xdisplay, error, protocol
from Xlib.ext import xtest

TITLE = "Korvane Change Speed Demo V1.0"
TWIPS_PER_PIXEL = 15


def designed_rects(source_dir):
    """Rectangles (x, y, w, h) in client-area pixels, by control name."""
    table = open(os.path.join(source_dir, "src/window/control_table.cpp"), encoding="utf-8").read()
    frames = [(int(l), int(t)) for l, t in
              re.findall(r'\{"Frame\d", "COM\d",\s*(\d+),\s*(\d+),', table)]
    rects = {}
    for first, second, left, top, width, height in re.findall(
            r'\{ControlDesign::\w+,\s*\{"(\w+)",\s*"(\w+)"\},\s*\{.*?\},'
            r'\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)', table):
        for panel, name in enumerate((first, second)):
            fl, ft = frames[panel]
            rects[name] = ((fl + int(left)) // TWIPS_PER_PIXEL, (ft + int(top)) // TWIPS_PER_PIXEL,
                           int(width) // TWIPS_PER_PIXEL, int(height) // TWIPS_PER_PIXEL)
    return rects


def centre(rect):
    x, y, width, height = rect
    return x + width // 2, y + height // 2


class Desktop:
    """An Xvfb server with helpers to find, click, type into and photograph windows."""

    def __init__(self):
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        number = self.server.stdout.readline().decode().strip()
        self.name = ":" + number
        self.env = dict(os.environ, DISPLAY=self.name)
        self.x = xdisplay.Display(self.name)

    def close(self):
        self.x.close()
        self.server.terminate()
        self.server.wait()

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                                text=True, timeout=30)
        if check and result.returncode != 0:
            raise RuntimeError(f"xdotool {args}: {result.stderr}")
        return result.stdout

    def windows(self):
        """Our program's visible windows: the main window first, then any message box."""
        out = self.xdotool("search", "--onlyvisible", "--name", TITLE, check=False)
        return [int(w) for w in out.split()]

    def wait_for_windows(self, count, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.windows()
            if len(found) >= count:
                return found
            time.sleep(0.05)
        raise TimeoutError(f"{count} window(s) titled {TITLE!r} did not appear")

    def mapped(self):
        """Every window on the screen now, a program's open menu among them."""
        windows = set()
        for child in self.x.screen().root.query_tree().children:
            try:
                if child.get_attributes().map_state == X.IsViewable:
                    windows.add(child.id)
            except error.BadWindow:  # gone since the tree was read: a menu that closed
                pass
        return windows

    def wait_for_new_window(self, before, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            new = self.mapped() - before
            if new:
                return max(new)
            time.sleep(0.02)
        raise TimeoutError("no new window appeared")

    def height(self, window):
        return self.x.create_resource_object("window", window).get_geometry().height

    def geometry(self, window):
        output = self.xdotool("getwindowgeometry", "--shell", window)
        return {key: int(value) for key, value in (line.split("=") for line in output.split())}

    def origin(self, window):
        values = self.geometry(window)
        return values["X"], values["Y"]

    def size(self, window):
        values = self.geometry(window)
        return values["WIDTH"], values["HEIGHT"]

    def click_at(self, x, y):
        self.xdotool("mousemove", x, y, "click", 1)

    def quick_clicks(self, *points):
        """Clicks at each point in turn with no pause: xdotool takes about 100 ms a click, too
        long for clicks that must land inside one of the program's waits."""
        for x, y in points:
            xtest.fake_input(self.x, X.MotionNotify, x=x, y=y)
            xtest.fake_input(self.x, X.ButtonPress, 1)
            xtest.fake_input(self.x, X.ButtonRelease, 1)
        self.x.sync()

    def keys(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 5, text)

    def clipboard(self):
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env,
                                capture_output=True, timeout=10)
        return result.stdout.decode("utf-8", "replace")

    def set_clipboard(self, text, once=False):
        """xclip stays behind to serve the text until someone copies, or, once, until it has been
        asked for it once, as a program closed right after copying: not on our output."""
        loops = ["-loops", "1"] if once else []
        subprocess.run(["xclip", "-i", "-selection", "clipboard", *loops], env=self.env,
                       input=text.encode(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=10, check=True)

    def close_window(self, window):
        """Asks the window to close, as a window manager does for its close button."""
        target = self.x.create_resource_object("window", window)
        protocols = self.x.intern_atom("WM_PROTOCOLS")
        delete = self.x.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=target, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        target.send_event(event)
        self.x.flush()

    def grab(self, x, y, width, height):
        """RGB pixels of a screen area, as bytes."""
        image = self.x.screen().root.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        data = image.data
        return b"".join(bytes((data[i + 2], data[i + 1], data[i])) for i in range(0, len(data), 4))

    def save_png(self, path, x, y, width, height):
        pixels = self.grab(x, y, width, height)
        raw = b"".join(b"\0" + pixels[row * width * 3:(row + 1) * width * 3]
                       for row in range(height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        with open(path, "wb") as png:
            png.write(b"\x89PNG\r\n\x1a\n")
            png.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
            png.write(chunk(b"IDAT", zlib.compress(raw, 9)))
            png.write(chunk(b"IEND", b""))
