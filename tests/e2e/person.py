# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""What a person does with the program's window: clicks on its controls, typed and pasted text,
a box's text copied out, a message box read and dismissed. Shared by the end-to-end suite and the
cases on the kernel's own drivers in a virtual machine (tests/vm)."""
import os
import time

from desktop import centre


class Person:
    """A mixin for a test case that has set desktop (a Desktop), window and origin (the main
    window and its client area's position), rects (the designed control rectangles) and shots
    (a directory for screenshots)."""

    def click(self, name):
        x, y = centre(self.rects[name])
        self.desktop.click_at(self.origin[0] + x, self.origin[1] + y)

    def replace_text(self, box, text):
        self.click(box)
        self.desktop.keys("ctrl+a")
        self.desktop.type(text)

    def copy_text(self, box):
        # Copying an empty box leaves the clipboard as it was: empty it first.
        self.desktop.set_clipboard("")
        self.click(box)
        self.desktop.keys("ctrl+a", "ctrl+c")
        return self.desktop.clipboard()

    def read_until(self, read, box, expected, timeout=5.0):
        """Clicks Read until the box has shown the expected text: each Read shows what came
        since the last one, and the far end's bytes may still be on their way."""
        received = ""
        deadline = time.monotonic() + timeout
        while received != expected and time.monotonic() < deadline:
            self.click(read)
            received += self.copy_text(box)
        return received

    def look(self, name, unlike=None, like=None, timeout=5.0):
        """The control's pixels once the window has repainted it: unlike or like a given look."""
        x, y, width, height = self.rects[name]
        deadline = time.monotonic() + timeout
        while True:
            pixels = self.desktop.grab(self.origin[0] + x, self.origin[1] + y, width, height)
            settled = pixels != unlike and (like is None or pixels == like)
            if settled or time.monotonic() > deadline:
                return pixels
            time.sleep(0.05)

    def screenshot(self, file_name):
        self.desktop.save_png(os.path.join(self.shots, file_name), *self.origin, 296, 460)

    def message(self):
        """Waits for a failure message box, copies its text and dismisses it. Of several boxes,
        only the newest takes input: it is modal to the window, and so are the others."""
        self.desktop.wait_for_windows(2)
        box = max(w for w in self.desktop.windows() if w != self.window)
        # Ctrl+C with the focus where the box puts it, on OK: the number and the whole text.
        self.desktop.set_clipboard("")
        self.desktop.xdotool("windowfocus", "--sync", box)
        self.desktop.keys("ctrl+c")
        text = self.desktop.clipboard()
        self.desktop.keys("Escape")
        deadline = time.monotonic() + 5
        while len(self.desktop.windows()) > 1 and time.monotonic() < deadline:
            time.sleep(0.05)
        return text
