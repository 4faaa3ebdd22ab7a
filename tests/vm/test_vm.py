# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The program on the kernel's own serial drivers, run inside the guest of ./test.sh --vm: the
8250 UARTs /dev/ttyS0 and /dev/ttyS1, which the program opens when started without options, and
an FTDI USB adapter, /dev/ttyUSB0, pulled out and plugged back. The window is driven as the
end-to-end suite drives it; the far ends, the plug and QEMU's trace of the chips are on the
host's side (tests/vm/run.py), asked over the control port."""
import fcntl
import glob
import json
import os
import struct
import subprocess
import sys
import termios
import time
import unittest

SOURCE = "/source"
sys.path.insert(0, os.path.join(SOURCE, "tests/e2e"))
from desktop import TITLE, Desktop, centre, designed_rects  # noqa: E402
from person import Person  # noqa: E402
from Xlib import X, error as xerror  # noqa: E402

PROGRAM = os.path.join(SOURCE, os.environ["KORVANE_PROGRAM"])
WORK = "/work"
ADAPTER = "/dev/ttyUSB0"

# The 16550's registers as QEMU's trace numbers them, and what the driver writes for 9600 and
# 115200 baud (1.8432 MHz / 16 / divisor).
DATA, INTERRUPT_ENABLE, LINE_CONTROL, MODEM_CONTROL = 0, 1, 3, 4
DLAB, RTS = 0x80, 0x02
DIVISOR = {9600: 0x0c, 115200: 0x01}
TIOCSERGETLSR, TIOCSER_TEMT = 0x5459, 0x01

desktop = None
host = None


class Host:
    """This machine's side: the far ends of the lines, the adapter's plug and QEMU's trace."""

    def __init__(self, path):
        self.port = os.open(path, os.O_RDWR)
        self.pending = b""

    def ask(self, do, **arguments):
        os.write(self.port, (json.dumps(dict(arguments, do=do)) + "\n").encode())
        while b"\n" not in self.pending:
            self.pending += os.read(self.port, 65536)
        line, self.pending = self.pending.split(b"\n", 1)
        answer = json.loads(line)
        if "error" in answer:
            raise RuntimeError(f"the host, asked to {do}: {answer['error']}")
        return answer

    def time(self):
        """The host's wall clock, which QEMU's trace stamps its events with."""
        return self.ask("time")["time"]

    def read(self, line, count=None, timeout=10.0):
        return bytes.fromhex(self.ask("read", line=line, count=count, timeout=timeout)["data"])

    def write(self, line, data):
        self.ask("write", line=line, data=data.hex())

    def trace(self, after, name):
        return [(at, detail) for at, event, detail in self.ask("trace", after=after)["events"]
                if event == name]


def register_writes(events):
    """The UART's register writes decoded: (time, "mcr", value), (time, "byte", value, divisor
    in force) for a byte sent, (time, "divisor", value) when the divisor changes. The trace does
    not say which UART: the other one must have been quiet since the first event."""
    control = low = high = 0
    decoded = []
    for at, detail in events:
        words = detail.split()  # "write addr 0x04 val 0x0b"
        address, value = int(words[2], 16), int(words[4], 16)
        if address == LINE_CONTROL:
            control = value
        elif address in (DATA, INTERRUPT_ENABLE) and control & DLAB:
            divisor = high << 8 | low
            low, high = (value, high) if address == DATA else (low, value)
            if high << 8 | low != divisor:
                decoded.append((at, "divisor", high << 8 | low))
        elif address == DATA:
            decoded.append((at, "byte", value, high << 8 | low))
        elif address == MODEM_CONTROL:
            decoded.append((at, "mcr", value))
    return decoded


def transmitter(device):
    """The bytes in the driver's queue and whether the transmitter says it is empty, asked on a
    descriptor of our own: root may open a line the program holds exclusively, and closing a
    descriptor that is not the line's last leaves the line as it is."""
    fd = os.open(device, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY)
    try:
        queued = struct.unpack("i", fcntl.ioctl(fd, termios.TIOCOUTQ, bytes(4)))[0]
        status = struct.unpack("I", fcntl.ioctl(fd, TIOCSERGETLSR, bytes(4)))[0]
    finally:
        os.close(fd)
    return queued, bool(status & TIOCSER_TEMT)


def wait_until_stuck(device, timeout=30.0):
    """The driver's queue and transmitter once the queue has stopped going down: the far end's
    socket takes a few hundred bytes, then the UART holds the next."""
    previous = None
    deadline = time.monotonic() + timeout
    while True:
        time.sleep(0.5)
        now = transmitter(device)
        if now == previous and now[0] > 0:
            return now
        if time.monotonic() > deadline:
            raise TimeoutError(f"the text never stopped leaving {device}: {now}")
        previous = now


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise TimeoutError(what)
        time.sleep(0.05)
    return result


def record(text):
    print(f"record: {text}", file=sys.stderr, flush=True)


def setUpModule():
    global desktop, host
    desktop = Desktop()
    host = Host(os.environ["KORVANE_CONTROL"])


def tearDownModule():
    desktop.close()


class OnRealDrivers(Person, unittest.TestCase):
    rects = designed_rects(SOURCE)
    shots = WORK

    def setUp(self):
        self.desktop = desktop
        self.program = None

    def start(self, *options):
        with open(os.path.join(WORK, f"{self._testMethodName}.stderr"), "w") as stderr:
            self.program = subprocess.Popen([PROGRAM, *options], stdout=subprocess.DEVNULL,
                                            stderr=stderr,
                                            env=dict(desktop.env, QT_QPA_PLATFORM="xcb"))
        self.window = desktop.wait_for_windows(1, timeout=60)[0]
        self.origin = desktop.origin(self.window)
        width, height = self.rects["Label6"][2:]
        self.look("Label6", unlike=bytes(3 * width * height), timeout=30)

    def tearDown(self):
        if self.program is None:
            return
        if self.program.poll() is None:
            while len(desktop.windows()) > 1:
                self.message()
            desktop.close_window(self.window)
        try:
            self.assertEqual(self.program.wait(30), 0)
        finally:
            if self.program.poll() is None:
                self.program.kill()
                self.program.wait()

    def descriptors(self, device):
        """The program's descriptors of the device (once it is gone, "... (deleted)")."""
        found = []
        for fd in os.listdir(f"/proc/{self.program.pid}/fd"):
            try:
                if os.readlink(f"/proc/{self.program.pid}/fd/{fd}").split(" (")[0] == device:
                    found.append(int(fd))
            except OSError:
                continue
        return found

    def holds(self, device):
        return bool(self.descriptors(device))

    def point(self, name):
        x, y = centre(self.rects[name])
        return self.origin[0] + x, self.origin[1] + y

    def wait_for_box(self, timeout):
        """Returns as soon as a message box is mapped: asked of the X server in this process,
        as an xdotool per look costs a tenth of a second or more here."""
        root = desktop.x.screen().root
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                if any(w.id != self.window and w.get_wm_name() == TITLE
                       and w.get_attributes().map_state == X.IsViewable
                       for w in root.query_tree().children):
                    return
            except xerror.XError:  # a window went while we looked
                pass
            time.sleep(0.02)
        raise TimeoutError(f"no message box within {timeout} s")

    def at_message(self, since, timeout, device, closed):
        """When the first message box shows: the seconds since the given moment, whether the
        program still holds the device, and whether the panel reads 未打开, seen with the box
        moved off the window (it opens over the middle of it, the status line included)."""
        self.wait_for_box(timeout)
        shown = time.monotonic() - since
        held = self.holds(device)
        desktop.wait_for_windows(2)
        box = max(w for w in desktop.windows() if w != self.window)
        desktop.xdotool("windowmove", "--sync", box, self.origin[0] + 300, self.origin[1])
        looks_closed = self.look("Label6", like=closed, timeout=0.5) == closed
        return shown, held, looks_closed

    def messages(self, timeout):
        """The texts of every message box that comes, the first within the timeout."""
        desktop.wait_for_windows(2, timeout=timeout)
        texts = []
        while len(desktop.windows()) > 1:
            texts.append(self.message())
            time.sleep(0.5)  # a second report follows at once, if any
        return texts

    # The UARTs, driver 8250.
    def test_default_devices(self):
        self.start()
        closed = self.look("Label6")
        before_open = host.time()
        self.click("Command8")
        opened = self.look("Label6", unlike=closed)
        self.assertTrue(self.holds("/dev/ttyS0"))

        # The other UART stays closed, and so quiet, until the trace has been read.
        clicked = host.time()
        self.click("Command10")

        def divisor_written():
            writes = register_writes(host.trace(before_open, "serial_write"))
            return any(e[0] > clicked and e[1] == "divisor" and e[2] == DIVISOR[115200]
                       for e in writes) and writes

        writes = wait_for(divisor_written, 30, "the divisor for 115200 was never written")
        steps = [e for e in writes if e[0] > clicked]
        record("the speed change 9600 -> 115200 on /dev/ttyS0 at the 16550's registers, "
               "seconds from the click:")
        for event in steps:
            at, kind, value = event[:3]
            extra = f" at divisor 0x{event[3]:02x}" if kind == "byte" else ""
            note = f" (RTS {'on' if value & RTS else 'off'})" if kind == "mcr" else ""
            record(f"  {at - clicked:7.3f}  {kind} 0x{value:02x}{extra}{note}")

        rts_off = next(e for e in steps if e[1] == "mcr" and not e[2] & RTS)
        rts_on = next(e for e in steps if e[1] == "mcr" and e[2] & RTS and e[0] > rts_off[0])
        new_divisor = next(e for e in steps if e[1] == "divisor" and e[0] > rts_on[0])
        sent = [e for e in steps if e[1] == "byte" and rts_off[0] < e[0] < rts_on[0]]
        self.assertEqual([(e[2], e[3]) for e in sent], [(0x00, DIVISOR[9600])])
        # Nothing else of the sequence before RTS drops, and the divisor as it was until after.
        self.assertFalse([e for e in steps if e[0] < rts_off[0] and e[1] != "mcr"])
        self.assertFalse([e for e in steps if e[1] == "divisor" and e[0] < rts_on[0]])
        self.assertEqual(new_divisor[2], DIVISOR[115200])
        self.assertGreaterEqual(sent[0][0] - rts_off[0], 0.100)
        self.assertGreaterEqual(rts_on[0] - sent[0][0], 0.100)
        self.assertGreaterEqual(new_divisor[0] - rts_on[0], 0.100)
        self.assertEqual(host.read("ttyS0", 1), b"\x00")
        self.assertNotEqual(self.look("Label6", unlike=opened), opened)

        # Both ways on both lines.
        self.click("Command2")
        self.assertEqual(host.read("ttyS0", 7), b"12345\r\n")
        host.write("ttyS0", "from the module on ttyS0 模块\r\n".encode())
        self.assertEqual(self.read_until("Command1", "Text3", "from the module on ttyS0 模块\n",
                                         timeout=20), "from the module on ttyS0 模块\n")
        closed2 = self.look("Label8")
        self.click("Command21")
        self.assertNotEqual(self.look("Label8", unlike=closed2), closed2)
        self.assertTrue(self.holds("/dev/ttyS1"))
        self.replace_text("Text2", "typed on COM2")
        desktop.keys("Return")
        self.click("Command3")
        self.assertEqual(host.read("ttyS1", 15), b"typed on COM2\r\n")
        host.write("ttyS1", b"from the module on ttyS1\r\n")
        self.assertEqual(self.read_until("Command4", "Text4", "from the module on ttyS1\n",
                                         timeout=20), "from the module on ttyS1\n")
        self.screenshot("vm-default-devices.png")

    def test_far_end_stops_reading(self):
        """Text stuck in the transmitter: the speed change waits for it and leaves RTS alone,
        and CLOSE, clicked again, gives the window back at once with the line let go."""
        self.start()
        closed = self.look("Label6")
        self.click("Command8")
        self.look("Label6", unlike=closed)
        host.ask("stop", line="ttyS0")
        try:
            desktop.set_clipboard("0123456789ABCDEF" * 256)  # 4 kB, pasted as one line
            self.click("Text1")
            desktop.keys("ctrl+a", "ctrl+v")
            self.click("Command2")
            queued, empty = wait_until_stuck("/dev/ttyS0")
            record(f"stalled /dev/ttyS0: {queued} bytes queued in the driver, TIOCSERGETLSR "
                   f"says the transmitter is {'empty' if empty else 'busy'}")
            self.assertFalse(empty)

            clicked = host.time()
            self.click("Command10")
            started = time.monotonic()
            desktop.wait_for_windows(2, timeout=60)
            record(f"the speed change on the stalled line: a message after "
                   f"{time.monotonic() - started:.1f} s")
            texts = self.messages(timeout=5)
            record(f"  the message: {texts}")
            self.assertTrue(texts and "8019" in texts[0], texts)
            self.assertEqual([d for _, d in host.trace(clicked, "serial_write")
                              if int(d.split()[2], 16) == MODEM_CONTROL], [])
            self.assertFalse(transmitter("/dev/ttyS0")[1])

            close = self.point("Command9")
            desktop.quick_clicks(close)
            time.sleep(0.5)
            desktop.quick_clicks(close)
            second = time.monotonic()
            answered, held, looks_closed = self.at_message(second, 120, "/dev/ttyS0", closed)
            record(f"CLOSE twice on the stalled line: a message {answered:.2f} s after the "
                   f"second click; the program {'still holds' if held else 'holds no'} "
                   f"descriptor of /dev/ttyS0; the panel "
                   f"{'reads' if looks_closed else 'does not read'} 未打开")
            texts = self.messages(timeout=5)
            record(f"  the message: {texts}")
            self.assertLessEqual(answered, 1.0)
            self.assertTrue(texts and "8019" in texts[0], texts)
            self.assertFalse(held)
            self.assertTrue(looks_closed)
        finally:
            host.ask("resume", line="ttyS0")

    # The USB adapter, driver ftdi_sio.
    def test_usb_adapter_pulled_and_plugged_back(self):
        wait_for(lambda: os.path.exists(ADAPTER), 30, f"no {ADAPTER}")
        self.start("--com1", ADAPTER)
        closed = self.look("Label6")
        self.click("Command8")
        opened = self.look("Label6", unlike=closed)
        self.click("Command2")
        self.assertEqual(host.read("ttyUSB0", 7), b"12345\r\n")
        host.write("ttyUSB0", b"from the module over USB\r\n")
        self.assertEqual(self.read_until("Command1", "Text3", "from the module over USB\n",
                                         timeout=20), "from the module over USB\n")

        self.pull_and_plug_back(closed, opened, "while open")
        # Once more in the middle of a speed change. The FTDI model never reports its
        # transmitter empty, so the change waits there for its deadline: pulled at once, the
        # adapter goes while it waits, before 8019 could end it.
        clicked = host.time()
        desktop.quick_clicks(self.point("Command10"))
        self.pull_and_plug_back(closed, opened, "during a speed change", clicked)

    def pull_and_plug_back(self, closed, opened, when, clicked=None):
        descriptors = self.descriptors(ADAPTER)
        self.assertTrue(descriptors)
        asked = time.monotonic()
        gone = host.ask("unplug")["time"]
        # From the moment QEMU had removed it: the way there is the emulation's, not ours.
        removed = time.monotonic()
        shown, held, looks_closed = self.at_message(removed, 30, ADAPTER, closed)
        nodes = sorted(glob.glob("/dev/ttyUSB*"))
        record(f"pulled {when}: the program had descriptor(s) {descriptors} of {ADAPTER}; "
               f"device_del took {removed - asked:.2f} s; a message {shown:.2f} s after the "
               f"removal; then the program {'still holds' if held else 'holds no'} descriptor "
               f"of it, the panel {'reads' if looks_closed else 'does not read'} 未打开, "
               f"nodes {nodes}")
        if clicked is not None:
            steps = [f"{at - clicked:.3f} s {detail.split(' ', 2)[2]}" for at, detail in
                     host.trace(clicked, "usb_serial_handle_control") if at < gone]
            record(f"  the adapter's modem-control requests from the click to the pull "
                   f"({gone - clicked:.3f} s): {steps}")
        texts = self.messages(timeout=5)
        record(f"  the message: {texts}")
        self.assertTrue(any("8020" in text for text in texts), texts)
        self.assertFalse(any("8019" in text for text in texts), texts)
        self.assertLessEqual(shown, 1.0)
        self.assertFalse(held)
        self.assertTrue(looks_closed)

        plugged = time.monotonic()
        host.ask("plug")
        wait_for(lambda: os.path.exists(ADAPTER), 30, f"{ADAPTER} did not come back")
        record(f"plugged back: {sorted(glob.glob('/dev/ttyUSB*'))} "
               f"{time.monotonic() - plugged:.2f} s after device_add was asked")
        self.click("Command8")
        self.assertEqual(self.look("Label6", like=opened), opened)
        self.assertTrue(self.holds(ADAPTER))
        self.click("Command2")
        self.assertEqual(host.read("ttyUSB0", 7), b"12345\r\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
