# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""End to end: the real program under Xvfb, driven by xdotool, on socat null-modem lines."""
import os
import pathlib
import random
import shutil
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Desktop, centre, designed_rects  # noqa: E402
from line import Line  # noqa: E402
from person import Person  # noqa: E402
from program import WINE_PROGRAM, Program  # noqa: E402

SOURCE = os.environ["E2E_SOURCE_DIR"]
WORK = os.environ["E2E_WORK_DIR"]
PRELOAD = os.environ["E2E_PRELOAD"]
LINES = os.path.join(WORK, "lines")
SHOTS = os.path.join(WORK, "screenshots")
SPEEDS = {115200: ("Command10", "Command19", "00"), 57600: ("Command11", "Command18", "01"),
          38400: ("Command12", "Command17", "02"), 19200: ("Command13", "Command16", "03"),
          9600: ("Command14", "Command15", "04")}

# The program as it is shipped.
EXECUTABLE = WINE_PROGRAM or os.environ["E2E_PROGRAM"]
# The tests whose program is started without options, on its default devices.
DEFAULTS_TESTS = ("test_typical_use", "test_choose_a_device")

desktop = None


def setUpModule():
    global desktop
    os.makedirs(LINES, exist_ok=True)
    os.makedirs(SHOTS, exist_ok=True)
    desktop = Desktop()


def tearDownModule():
    if WINE_PROGRAM:  # Wine's own processes go with the display
        subprocess.run(["wineserver", "--kill"], env=dict(os.environ, WINEPREFIX=f"{LINES}/prefix"))
    desktop.close()


class EndToEnd(Person, unittest.TestCase):
    rects = designed_rects(SOURCE)
    shots = SHOTS

    def setUp(self):
        self.desktop = desktop
        self.lines = [Line(LINES, "com1"), Line(LINES, "com2")]
        # Nothing chosen in the window by an earlier test.
        self.settings = os.path.join(WORK, "settings", self._testMethodName)
        shutil.rmtree(self.settings, ignore_errors=True)
        self.helpers = []
        self.start()

    def start(self):
        self.program = Program(EXECUTABLE, desktop, PRELOAD, os.path.join(WORK, "record.log"),
                               LINES, self.settings,
                               defaults=self._testMethodName in DEFAULTS_TESTS)
        self.window = desktop.wait_for_windows(1)[0]
        self.origin = desktop.origin(self.window)
        # Mapped is not yet painted: until the first paint the window's area is black, and a
        # look taken then would stand for no state of the program.
        width, height = self.rects["Label6"][2:]
        self.look("Label6", unlike=bytes(3 * width * height))

    def tearDown(self):
        for helper in self.helpers:
            subprocess.run(helper, capture_output=True)
        try:
            if self.program.running():
                desktop.close_window(self.window)
                self.assertEqual(self.program.wait(10), 0)
        finally:
            # Whatever failed: no socat outlives the test holding the runner's output open.
            for line in self.lines:
                line.hang_up()
        self.assertEqual(self.program.sanitizer_report(), [])

    def picocom(self, speed, path):
        """Another serial program on a line, in a tmux session; returns once it holds the line."""
        session = f"korvane-e2e-{os.getpid()}"
        self.helpers.append(["tmux", "kill-session", "-t", session])
        subprocess.run(["tmux", "new-session", "-d", "-s", session, "-x", "80", "-y", "10",
                        "picocom", "-b", str(speed), "--quiet", path], check=True)
        # picocom takes an flock on the line as it opens it, and /proc/locks names the file.
        line = os.stat(path)
        held = f" {os.major(line.st_dev):02x}:{os.minor(line.st_dev):02x}:{line.st_ino} "
        deadline = time.monotonic() + 10
        while held not in pathlib.Path("/proc/locks").read_text():
            self.assertLess(time.monotonic(), deadline, "picocom did not take the line")
            time.sleep(0.05)
        return session

    def holds(self, device):
        """Whether the program has the device open: itself, or under Wine its server."""
        holders = [self.program.pid]
        if WINE_PROGRAM:
            holders += [int(p) for p in subprocess.run(["pgrep", "-x", "wineserver"],
                                                       capture_output=True, text=True).stdout.split()]
        for pid in holders:
            try:
                for fd in os.listdir(f"/proc/{pid}/fd"):
                    # A pseudo-terminal whose pair has gone reads "/dev/pts/N (deleted)".
                    if os.readlink(f"/proc/{pid}/fd/{fd}").split(" (")[0] == device:
                        return True
            except OSError:
                continue
        return False

    # What the line saw.
    def device(self, port):
        """The record's name for a port's line, or for a Line of the test's own."""
        return (port if isinstance(port, Line) else self.lines[port - 1]).device()

    def sequence(self, port, speed, after):
        """Checks one speed change in the record and returns its four events."""
        device = self.device(port)
        settled = self.program.wait_for_event(device, f"settings {speed}", after)
        events = [e for e in self.program.events(device) if after < e.at <= settled.at]
        steps = [e for e in events if e.what.startswith(("rts", "write", "settings"))]
        self.assertEqual([e.what for e in steps],
                         ["rts 0", f"write {SPEEDS[speed][2]}", "rts 1", f"settings {speed}"])
        rts_off, code, rts_on, settings = steps
        self.assertGreaterEqual(code.at - rts_off.at, 0.100)
        self.assertGreaterEqual(rts_on.at - code.at, 0.100)
        self.assertGreaterEqual(settings.at - rts_on.at, 0.100)
        return steps

    def speed_in_force(self, port, at):
        settings = [e for e in self.program.events(self.device(port))
                    if e.what.startswith("settings") and e.at < at]
        return int(settings[-1].what.split()[1])

    def open_port(self, port, line=None):
        start = time.monotonic()
        self.click("Command8" if port == 1 else "Command21")
        self.program.wait_for_event(self.device(line or port), "open", start)

    # The typical use, on both panels.
    def test_typical_use(self):
        closed = self.look("Label6")
        self.open_port(1)
        self.program.wait_for_event(self.device(1), "settings 9600")
        opened = self.look("Label6", unlike=closed)
        self.assertNotEqual(opened, closed)

        start = time.monotonic()
        self.click("Command10")
        steps = self.sequence(1, 115200, start)
        self.assertEqual(self.speed_in_force(1, steps[1].at), 9600)
        self.assertEqual(self.lines[0].read(1), b"\x00")
        self.screenshot("e2e-115200.png")
        self.assertNotEqual(self.look("Label6", unlike=opened), opened)

        self.click("Command2")
        self.assertEqual(self.lines[0].read(7), b"12345\r\n")

        self.lines[0].write(b"hello from the module\r\n")
        self.assertEqual(self.read_until("Command1", "Text3", "hello from the module\n"),
                         "hello from the module\n")
        self.screenshot("e2e-read.png")

        # The lower panel at the same time, with typed text.
        self.open_port(2)
        self.replace_text("Text2", "typed on COM2")
        desktop.keys("Return")
        self.click("Command3")
        self.assertEqual(self.lines[1].read(15), b"typed on COM2\r\n")
        self.screenshot("e2e-both.png")

    def device_menu(self, listed=False):
        """Opens the device menu of the panel with the focus; with listed, returns once the
        system's ports are in it, which comes a moment later and makes the menu taller. Returns
        how much taller, and how tall it opened."""
        before = desktop.mapped()
        desktop.keys("F4")
        menu = desktop.wait_for_new_window(before)
        opened, deadline = desktop.height(menu), time.monotonic() + 5
        while listed and desktop.height(menu) == opened and time.monotonic() < deadline:
            time.sleep(0.02)
        return menu

    @staticmethod
    def text_lines(menu):
        """The lines of text a menu shows, from the top, each as "dark" (an entry that can be
        chosen, a heading) or "grey" (one that cannot), told by its darkest pixel."""
        geometry = desktop.geometry(menu)  # the frame's edges left out
        width, height = geometry["WIDTH"], geometry["HEIGHT"]
        pixels = desktop.grab(geometry["X"], geometry["Y"], width, height)
        # The background is the most common value; separators and frames are lighter than text.
        rows = [min(pixels[(row * width + x) * 3] for x in range(4, width - 4))
                for row in range(4, height - 4)]
        lines, band = [], []
        for darkest in rows + [255]:
            if darkest < 200:
                band.append(darkest)
                continue
            if len(band) >= 4:  # not a separator, nor a shortcut letter's underline
                lines.append("dark" if min(band) < 100 else "grey")
            band = []
        return lines

    def caption(self, unlike=None):
        """The pixels of COM1's frame caption, once unlike the given ones."""
        deadline = time.monotonic() + 5
        while True:
            pixels = desktop.grab(self.origin[0] + 8, self.origin[1], 281, 18)
            if pixels != unlike or time.monotonic() > deadline:
                return pixels
            time.sleep(0.05)

    def type_device(self, device):
        """Types COM1's device into the dialog of its menu's Other device… entry."""
        self.click("Text1")
        self.device_menu()
        desktop.keys("o")
        dialog = max(w for w in desktop.wait_for_windows(2) if w != self.window)
        desktop.xdotool("windowfocus", "--sync", dialog)
        desktop.keys("ctrl+a")
        desktop.type(device)
        desktop.keys("Return")
        deadline = time.monotonic() + 5
        while dialog in desktop.windows() and time.monotonic() < deadline:
            time.sleep(0.05)

    def test_choose_a_device(self):
        """Started without options, COM1 is given a third line in its device menu: under Wine a
        port the menu lists, on Linux a path typed in. That line is COM1's at once, a name that is
        no serial port changes nothing, and the next run starts on it too."""
        com3 = Line(LINES, "com3")
        self.lines.append(com3)
        self.assertFalse(os.path.exists(self.program.settings))  # nothing before a choice
        caption = self.caption()
        if WINE_PROGRAM:
            # The prefix's ports by number, COM1, COM2, COM4 (com3), COM12, COM13, then Other
            # device… and Built-in default: up from the end, past no entry that is disabled.
            self.click("Text1")
            self.device_menu(listed=True)
            desktop.keys(*["Up"] * 5, "Return")
        else:
            # The sandbox's sysfs lists no serial port: the line that looked for them says none
            # were found, and the one entry the list adds is COM1's own device.
            self.click("Text1")
            lines = self.text_lines(self.device_menu(listed=True))
            # The heading, "No serial ports found", COM1's device, Other device…, Built-in
            # default: a port listed would be a line that can be chosen under the heading.
            self.assertEqual(lines, ["dark", "grey", "dark", "dark", "dark"])
            desktop.keys("Escape")
            self.type_device(com3.near)
        self.assertNotEqual(self.caption(unlike=caption), caption)  # it names the device now
        self.open_port(1, com3)
        self.assertTrue(os.listdir(self.program.settings))  # kept as soon as it was made
        start = time.monotonic()
        self.click("Command10")
        self.sequence(com3, 115200, start)
        self.assertEqual(com3.read(1), b"\x00")
        self.click("Command9")
        self.program.wait_for_event(self.device(com3), "close", start)

        self.type_device("/etc/passwd")
        text = self.message()
        self.assertIn("8002", text)
        self.assertIn("not a serial port", text)
        self.assertIn("press F4", text)
        for run in ("this run", "the next run"):
            if run == "the next run":
                desktop.close_window(self.window)
                self.assertEqual(self.program.wait(10), 0)
                self.start()
            self.open_port(1, com3)
            self.click("Command2")
            self.assertEqual(com3.read(7), b"12345\r\n", run)
            self.assertEqual(self.lines[0].read(), b"", run)

    def test_every_speed(self):
        self.open_port(2)
        previous = 9600
        for speed in (57600, 38400, 19200, 115200, 9600):
            start = time.monotonic()
            self.click(SPEEDS[speed][1])
            steps = self.sequence(2, speed, start)
            self.assertEqual(self.speed_in_force(2, steps[1].at), previous)
            previous = speed
        self.assertEqual(self.lines[1].read(5), bytes.fromhex("0102030004"))

    def test_close_and_open_keep_the_last_speed(self):
        closed = self.look("Label6")
        self.open_port(1)
        at9600 = self.look("Label6", unlike=closed)
        start = time.monotonic()
        self.click("Command11")
        self.sequence(1, 57600, start)
        at57600 = self.look("Label6", unlike=at9600)
        self.click("Command9")
        self.program.wait_for_event(self.device(1), "close", start)
        self.assertEqual(self.look("Label6", like=closed), closed)
        reopened = time.monotonic()
        self.open_port(1)
        self.program.wait_for_event(self.device(1), "settings 57600", reopened)
        self.assertEqual(self.speed_in_force(1, time.monotonic() + 1), 57600)
        self.assertEqual(self.look("Label6", like=at57600), at57600)

    def test_talks_with_another_serial_program(self):
        session = self.picocom(9600, self.lines[1].far_path)
        self.open_port(2)
        self.program.wait_for_event(self.device(2), "settings 9600")
        subprocess.run(["tmux", "send-keys", "-t", session, "-l", "hi there"], check=True)
        self.assertEqual(self.read_until("Command4", "Text4", "hi there"), "hi there")

        self.click("Command3")
        deadline = time.monotonic() + 5
        screen = ""
        while "12345" not in screen and time.monotonic() < deadline:
            time.sleep(0.1)
            screen = subprocess.run(["tmux", "capture-pane", "-p", "-t", session],
                                    capture_output=True, text=True).stdout
        self.assertIn("12345", screen)

    # Faults.
    def test_far_end_disappears(self):
        closed = self.look("Label6")
        self.open_port(1)
        # No spinning: a line gone costs no more than an idle open one (which costs nothing on
        # Linux, and Wine's own polling of the line under Wine).
        before = self.program.cpu_seconds()
        time.sleep(2)
        idle = self.program.cpu_seconds() - before
        line = self.device(1)
        self.assertTrue(self.holds(line))
        before = self.program.cpu_seconds()
        lost = time.monotonic()
        self.lines[0].hang_up()

        # Without a click: reported, closed, the panel saying so and the line let go at once.
        desktop.wait_for_windows(2)
        print(f"\nloss to its message: {time.monotonic() - lost:.2f} s", file=sys.stderr)
        text = self.message()
        self.assertEqual(self.look("Label6", like=closed), closed)
        self.assertIn("8020", text)
        self.assertIn("COM1", text)
        self.assertFalse(self.holds(line))
        time.sleep(2)
        self.assertLess(self.program.cpu_seconds() - before, idle + 0.2)
        self.click("Command1")  # Read on the closed port: nothing
        time.sleep(0.5)
        self.assertEqual(len(desktop.windows()), 1)
        self.click("Command8")  # the device has gone with the line
        self.assertIn("8002", self.message())

        self.lines[0].connect()
        self.open_port(1)
        self.click("Command2")
        self.assertEqual(self.lines[0].read(7), b"12345\r\n")
        self.assertTrue(self.program.running())

    def written(self, port, after, before):
        """How many bytes the program wrote to the line between two times."""
        count = 0
        for event in self.program.events(self.device(port)):
            if after < event.at < before and event.what.startswith("write"):
                words = event.what.split()
                count += int(words[-2][1:]) if words[-1] == "bytes)" else len(words) - 1
        return count

    def test_sent_text_leaves_first(self):
        """A far end that stops reading keeps sent text in the program: the speed change waits
        until it has left before RTS drops, and so does CLOSE before the line closes."""
        self.open_port(1)
        self.program.wait_for_event(self.device(1), "settings 9600")
        # More than socat and both pseudo-terminals hold, pasted as one line, at 115200 baud,
        # where it needs 11.4 s on a line: however soon a pseudo-terminal says it has left,
        # RTS drops and the line closes only then.
        changed = time.monotonic()
        self.click("Command10")
        self.sequence(1, 115200, changed)
        self.assertEqual(self.lines[0].read(1), b"\x00")
        text = "0123456789ABCDEF" * 8192
        for command, last_step in (("Command10", "settings 115200"), ("Command9", "close")):
            desktop.set_clipboard(text)
            self.click("Text1")
            desktop.keys("ctrl+a", "ctrl+v")
            start = time.monotonic()
            self.click("Command2")
            self.click(command)
            time.sleep(1)
            steps = [e for e in self.program.events(self.device(1))
                     if e.at > start and not e.what.startswith(("write", "settings 9600"))]
            self.assertEqual(steps, [], command)  # nothing but the text yet
            received = self.lines[0].read(len(text), timeout=30)  # the far end reads again
            self.assertEqual(received, text.encode(), command)
            self.program.wait_for_event(self.device(1), last_step, start, timeout=30)
            first = next(e for e in self.program.events(self.device(1))
                         if e.at > start and not e.what.startswith("write"))
            self.assertEqual(self.written(1, start, first.at), len(text), command)
            self.assertGreaterEqual(first.at - start, len(text) * 10 / 115200, command)
            if command == "Command10":
                self.assertEqual(self.lines[0].read(1), b"\x00")
                self.sequence(1, 115200, first.at - 1e-6)
            self.assertEqual(len(desktop.windows()), 1, command)  # and no message

    def test_a_stopped_line_closes_at_once(self):
        """A far end that stops reading: CLOSE once more, or CLOSE while a speed change waits for
        the text, closes at once with what is left thrown away, counted in one message."""
        self.open_port(1)
        self.program.wait_for_event(self.device(1), "settings 9600")
        desktop.set_clipboard("0123456789ABCDEF" * 8192)
        self.click("Text1")
        desktop.keys("ctrl+a", "ctrl+v")
        for first, said in (("Command9", "closed at once"), ("Command10", "did not start")):
            start = time.monotonic()
            self.click("Command2")
            self.click(first)
            time.sleep(1)
            self.assertTrue(self.holds(self.device(1)), first)  # still waiting for the text
            clicked = time.monotonic()
            self.click("Command9")
            desktop.wait_for_windows(2)
            answered = time.monotonic() - clicked
            print(f"\n{first}, CLOSE: message after {answered:.2f} s", file=sys.stderr)
            self.assertFalse(self.holds(self.device(1)), first)
            text = self.message()
            self.assertLess(answered, 1.0, first)
            self.assertIn("8019", text)
            self.assertIn(said, text)
            steps = [e.what for e in self.program.events(self.device(1)) if e.at > start]
            self.assertNotIn("rts 0", steps, first)  # nothing of the speed change
            self.assertIn("close", steps, first)
            self.assertEqual(len(desktop.windows()), 1, first)
            self.lines[0].read(timeout=2)  # what the far end got before, out of the way
            self.open_port(1)

    def cpu_when_idle(self, quiet=1.0, timeout=300.0):
        """The program's processor time once it has stopped rising for a while: what the window
        was given to do is done."""
        deadline = time.monotonic() + timeout
        used = self.program.cpu_seconds()
        while time.monotonic() < deadline:
            time.sleep(quiet)
            before, used = used, self.program.cpu_seconds()
            if used - before < 0.03:
                break
        return used

    def test_paste_from_a_clipboard_that_goes_away(self):
        """Ctrl+V held down into one line: the last pastes cost the window no more than the first.
        The program that copied serves the text once and exits: the paste takes what it read.
        The far end gets exactly what was pasted, lines of text or one long line alike."""
        line = "0123456789" * 100
        desktop.set_clipboard(line)
        self.click("Text1")
        desktop.keys("ctrl+a", "Delete")
        costs, used = [], self.cpu_when_idle()
        for batch in range(6):
            desktop.keys(*["ctrl+v"] * 40)
            costs.append(self.cpu_when_idle() - used)
            used += costs[-1]
            # A paste that costs more the longer its line is shows well before the last batch.
            self.assertLessEqual(costs[-1], 3 * costs[0] + 0.5, costs)
        print("\n40 pastes each: " + ", ".join(f"{c:.2f}" for c in costs) + " s of CPU",
              file=sys.stderr)
        self.open_port(1)
        self.program.wait_for_event(self.device(1), "settings 9600")
        self.click("Command2")
        received = self.lines[0].read(240000, timeout=60) + self.lines[0].read()
        self.assertEqual(received, line.encode() * 240)
        lines = "".join(f"short line {n:06d} from a clipboard\n" for n in range(12000))
        for text in (lines, "0123456789" * 10000):
            desktop.set_clipboard(text, once=True)
            self.click("Text1")
            desktop.keys("ctrl+a", "ctrl+v")
            self.click("Command2")
            sent = text.replace("\n", "\r\n").encode()
            self.assertEqual(self.lines[0].read(len(sent), timeout=30), sent)
            self.assertTrue(self.program.running())

    def test_port_held_by_another_program(self):
        session = self.picocom(115200, self.lines[0].near)
        self.click("Command8")
        text = self.message()
        self.assertIn("8005", text)
        self.assertIn("COM1", text)
        self.assertIn("in use", text)
        # The attempt looked at the line and let go, or (a Windows driver) was refused at once:
        # no settings, no exclusive mode touched.
        self.assertLessEqual({e.what for e in self.program.events(self.device(1))},
                             {"open", "close"})

        subprocess.run(["tmux", "send-keys", "-t", session, "-l", "still mine"], check=True)
        self.assertEqual(self.lines[0].read(10), b"still mine")

    def test_click_storm(self):
        stop = threading.Event()

        def chatter(line):
            while not stop.is_set():
                try:
                    line.write(os.urandom(64))
                    line.read(quiet=0.01, timeout=0.02)
                except OSError:
                    return

        talkers = [threading.Thread(target=chatter, args=(line,)) for line in self.lines]
        for talker in talkers:
            talker.start()
        try:
            names = [name for name in self.rects if name.startswith("Command")]
            chooser = random.Random(1234)
            for click in range(300):
                self.click(chooser.choice(names))
                time.sleep(chooser.uniform(0, 0.03))
                if click % 20 == 19:
                    while len(desktop.windows()) > 1:  # a failure report blocks the window
                        self.message()
        finally:
            stop.set()
            for talker in talkers:
                talker.join()
        time.sleep(1)  # speed changes still running end
        while len(desktop.windows()) > 1:
            self.message()
        self.assertTrue(self.program.running())

        # Each panel agrees with its port: open ports take a speed change, closed ones do not.
        for port, (speed, status) in ((1, ("Command14", "Label6")), (2, ("Command15", "Label8"))):
            events = self.program.events(self.device(port))
            opened = [e.what for e in events if e.what in ("open", "close")]
            is_open = bool(opened) and opened[-1] == "open"
            start = time.monotonic()
            self.click(speed)
            if is_open:
                self.sequence(port, 9600, start)
            else:
                time.sleep(0.5)
                self.assertFalse([e for e in self.program.events(self.device(port))
                                  if e.at > start and e.what.startswith("rts")])
        self.screenshot("e2e-after-storm.png")

    def test_close_inside_each_wait(self):
        """A speed change belongs to the opening it started on: CLOSE inside one of its waits
        cuts it short at once, and after OPEN the line sees nothing more of it, only what OPEN
        itself does."""
        self.open_port(1)
        time.sleep(0.3)
        # What OPEN does; the speed it finds the line at is the last one the line was set to.
        opening = [e.what for e in self.program.events(self.device(1))
                   if not e.what.startswith("settings")]
        speed, close = ((self.origin[0] + x, self.origin[1] + y) for x, y in
                        (centre(self.rects[n]) for n in ("Command10", "Command9")))
        for step in ("rts 0", "write 00", "rts 1"):
            for attempt in range(3):  # the click may miss the 100 ms window on a busy machine
                start = time.monotonic()
                desktop.quick_clicks(speed)
                began = self.program.wait_for_event(self.device(1), step, start)
                desktop.quick_clicks(close)
                closed = self.program.wait_for_event(self.device(1), "close", began.at)
                text = self.message()
                if closed.at < began.at + 0.100:
                    break
                self.open_port(1)
            else:
                self.fail(f"CLOSE never landed inside the wait after {step!r}")
            self.assertIn("8018", text)
            self.assertIn("cut short", text)
            reopened = time.monotonic()
            self.open_port(1)
            time.sleep(0.4)  # longer than what was left of the sequence
            events = [e.what for e in self.program.events(self.device(1)) if e.at > reopened]
            self.assertEqual([e for e in events if not e.startswith("settings")], opening, step)
            self.assertEqual(set(events) - set(opening), {"settings 9600"}, step)

    def test_close_window_during_speed_change(self):
        self.open_port(1)
        start = time.monotonic()
        self.click("Command10")
        self.program.wait_for_event(self.device(1), "rts 0", start)
        desktop.close_window(self.window)
        self.assertEqual(self.program.wait(3), 0)
        events = self.program.events(self.device(1))
        self.assertEqual(events[-1].what, "close")
        self.assertFalse([e for e in events if e.what == "settings 115200"])


@unittest.skipIf(WINE_PROGRAM, "a refusal is a message box there")
class RefusedOptions(unittest.TestCase):
    def test_exit_status_2_without_a_window(self):
        for options in (["--com1"], ["--com1", f"{LINES}/com1", "--com2", f"{LINES}/com1"],
                        ["--speed", "9600"]):
            result = subprocess.run([EXECUTABLE, *options], env=desktop.env, capture_output=True,
                                    text=True, timeout=10)
            self.assertEqual(result.returncode, 2, options)
            self.assertIn("--help", result.stderr)
            self.assertEqual(desktop.windows(), [])
        # Nowhere to open the window: said in a line, and status 1.
        bare = {k: v for k, v in desktop.env.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
        result = subprocess.run([EXECUTABLE, "--com1", f"{LINES}/com1"], env=bare,
                                capture_output=True, text=True, timeout=10)
        self.assertEqual((result.returncode, result.stderr.count("\n")), (1, 1), result.stderr)
        self.assertIn("DISPLAY", result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
