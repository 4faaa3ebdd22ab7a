# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The program on the kernel's own serial drivers, run inside the guest of ./test.sh --vm and only
there: the UARTs QEMU emulates for the guest (8250, the guest's ttyS0 and ttyS1, which the
program opens when started without options), beside
two UART nodes without a chip; an FTDI USB adapter, /dev/ttyUSB0, pulled out and plugged back; and
two adapters that are the kernel's own USB gadgets on its dummy host controller: a CDC ACM one,
/dev/ttyACM0, whose far end is /dev/ttyGS0 and whose requests usbmon shows, and one for the plain
usb-serial driver, whose far end /dev/ttyGS1 nobody reads. The window is driven as the end-to-end
suite drives it; the far ends of the UARTs and of the FTDI adapter, its plug and QEMU's trace of
the chips are on the host's side (tests/vm/run.py), asked over the control port."""
import fcntl
import glob
import json
import os
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty
import unittest

SOURCE = "/source"
sys.path.insert(0, os.path.join(SOURCE, "tests/e2e"))
from desktop import TITLE, Desktop, centre, designed_rects  # noqa: E402
from person import Person  # noqa: E402
from Xlib import X, error as xerror  # noqa: E402

PROGRAM = os.path.join(SOURCE, os.environ["KORVANE_PROGRAM"])
WORK = "/work"
ADAPTER = "/dev/ttyUSB0"
ACM, GADGET = "/dev/ttyACM0", "/dev/ttyGS0"
# The plain usb-serial gadget of tests/vm/guest.sh, plugged in by writing its UDC file.
GENERIC_UDC, GENERIC_SERIAL = "/sys/kernel/config/usb_gadget/generic/UDC", "KV000002"

# The 16550's registers as QEMU's trace numbers them, and what the driver writes for 9600 and
# 115200 baud (1.8432 MHz / 16 / divisor).
DATA, INTERRUPT_ENABLE, LINE_CONTROL, MODEM_CONTROL = 0, 1, 3, 4
DLAB, RTS = 0x80, 0x02
DIVISOR = {9600: 0x0c, 115200: 0x01}
CODE = {115200: 0x00, 9600: 0x04}
SPEED_BUTTON = {115200: "Command10", 9600: "Command14"}
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
        return [(at, detail) for at, _, detail in
                self.ask("trace", after=after, name=name)["events"]]


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


def queued(device):
    """The bytes in the driver's queue, asked as transmitter() does."""
    fd = os.open(device, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY)
    try:
        return struct.unpack("i", fcntl.ioctl(fd, termios.TIOCOUTQ, bytes(4)))[0]
    finally:
        os.close(fd)


def usb_nodes(serial):
    """The nodes of the USB adapters with that serial number that are plugged in, by the number
    of their USB port."""
    found = {}
    for node in glob.glob("/sys/class/tty/ttyUSB*"):
        usb = os.path.realpath(f"{node}/device/../..")
        try:
            with open(f"{usb}/serial", encoding="utf-8") as number:
                if number.read().strip() == serial:
                    found[os.path.basename(usb).split("-")[-1]] = "/dev/" + os.path.basename(node)
        except OSError:
            continue
    return found


def usb_node(serial):
    """The node of the USB adapter with that serial number, if it is plugged in."""
    return next(iter(usb_nodes(serial).values()), None)


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


def listed_ports():
    """What the program prints for --list-ports, a line a port; it opens none of them."""
    result = subprocess.run([PROGRAM, "--list-ports"], capture_output=True, text=True,
                            timeout=60, env=dict(os.environ, XDG_CONFIG_HOME=tempfile.mkdtemp()))
    if result.returncode != 0:
        raise RuntimeError(f"--list-ports: status {result.returncode}, {result.stderr!r}")
    return result.stdout.splitlines()


class Collector:
    """What a file gives, read on a thread as it comes: usbmon keeps only a few dozen events
    for a reader that is late, and the gadget's end of the line must take the bytes for the
    adapter's to leave."""

    def __init__(self, path):
        mode = os.O_RDWR if path.startswith("/dev/") else os.O_RDONLY
        self.fd = os.open(path, mode | os.O_NONBLOCK | os.O_NOCTTY)
        if os.isatty(self.fd):
            tty.setraw(self.fd)  # no echo back to the adapter, every byte as it is
        self.data = b""
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        while not self.done.is_set():
            try:
                self.data += os.read(self.fd, 65536)
            except BlockingIOError:
                time.sleep(0.01)

    def close(self):
        self.done.set()
        self.thread.join()
        os.close(self.fd)


def framed_requests(text):
    """The speed change to 115200 in usbmon's submissions ("S" lines) to a CDC ACM adapter:
    SET_CONTROL_LINE_STATE with DTR on and RTS off, the code byte 00 on the bulk OUT endpoint,
    SET_CONTROL_LINE_STATE with both on, SET_LINE_CODING for 115200 (00c20100 little-endian),
    each the first after the one before, as (microseconds, line); and every bulk OUT between
    RTS off and RTS on."""
    steps = [lambda kind, rest: kind == "Co" and rest.startswith("s 21 22 0001 "),
             lambda kind, rest: kind == "Bo" and rest.endswith("= 00"),
             lambda kind, rest: kind == "Co" and rest.startswith("s 21 22 0003 "),
             lambda kind, rest: kind == "Co" and rest.startswith("s 21 20 ") and "00c20100" in rest]
    found, bulk = [], []
    for line in text.splitlines():
        words = line.split()
        if len(words) < 5 or words[2] != "S":
            continue
        kind, rest = words[3].split(":")[0], " ".join(words[4:])
        if len(found) in (1, 2) and kind == "Bo":
            bulk.append(rest)
        if len(found) < len(steps) and steps[len(found)](kind, rest):
            found.append((int(words[1]), line))
    return found, bulk


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
        # Settings of this run's own: a device chosen in one case is not the next one's.
        self.config = tempfile.mkdtemp(prefix="korvane-config-")
        with open(os.path.join(WORK, f"{self._testMethodName}.stderr"), "w") as stderr:
            self.program = subprocess.Popen([PROGRAM, *options], stdout=subprocess.DEVNULL,
                                            stderr=stderr,
                                            env=dict(desktop.env, QT_QPA_PLATFORM="xcb",
                                                     XDG_CONFIG_HOME=self.config))
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

    def menu(self):
        """The device menu, while it shows: the one window besides the main window that the
        program maps without the window manager (override-redirect) and larger than a tooltip."""
        try:
            for window in desktop.x.screen().root.query_tree().children:
                attributes = window.get_attributes()
                if (window.id != self.window and attributes.override_redirect
                        and attributes.map_state == X.IsViewable
                        and window.get_geometry().height > 60):
                    return window
        except xerror.XError:  # a window went while we looked
            pass
        return None

    def choose_in_menu(self, device, other="/dev/ttyS1"):
        """Chooses COM1's device as a person does with the keyboard: F4 with the focus in the
        panel (on OPEN, where it is at start), Down to the entry once the list is in, Return.
        The entries are the system's ports as --list-ports names them; Down passes over the
        other panel's device, which cannot be chosen. Returns the settings file's text, where
        the choice is as soon as it is made."""
        enabled = [line.split(" — ")[0] for line in listed_ports()]
        enabled.remove(other)
        desktop.xdotool("mousemove", 799, 599)  # no tooltip of the frame beside the menu
        desktop.xdotool("windowfocus", "--sync", self.window)
        desktop.keys("F4")
        shown = wait_for(self.menu, 10, "no device menu after F4").get_geometry().height
        since = time.monotonic()

        # The ports come a moment later, from a thread, and the menu grows to take them; when
        # it does not within a second and a half, they were in before it showed.
        def grown():
            menu = self.menu()
            return menu and menu.get_geometry().height > shown and menu.get_geometry().height

        try:
            height = wait_for(grown, 1.5, "")
            record(f"the device menu of COM1: {shown} px high when shown, {height} px with "
                   f"the ports {time.monotonic() - since:.2f} s later")
        except TimeoutError:
            record(f"the device menu of COM1: {shown} px high, the ports in when it showed")
        # The keys go to the menu once it has the keyboard: the first Down shows on it.
        menu = self.menu()
        area = [getattr(menu.get_geometry(), key) for key in ("x", "y", "width", "height")]
        plain = desktop.grab(*area)
        for _ in range(3):
            desktop.keys("Down")
            try:
                wait_for(lambda: desktop.grab(*area) != plain, 1, "")
                break
            except TimeoutError:
                record("  a Down the device menu did not show")
        desktop.save_png(os.path.join(WORK, f"{self._testMethodName}-menu.png"), *area)
        desktop.keys(*["Down"] * enabled.index(device), "Return")
        wait_for(lambda: not self.menu(), 10, "the device menu stayed open")
        settings = os.path.join(self.config, "Korvane")

        def remembered():
            for path in glob.glob(os.path.join(settings, "korvane-speed-demo.*")):
                with open(path, encoding="utf-8") as file:
                    text = file.read()
                if device in text:
                    return text
            return None

        return wait_for(remembered, 10, f"{device} chosen in the menu is not in {settings}")

    def speed_change(self, since, old, new, what, steps=False):
        """Clicks COM1's speed button on /dev/ttyS0 and checks the change at the 16550's
        registers (decoded from the trace since the port was opened, for the divisor in force):
        RTS dropped, the code byte alone at the old divisor, RTS raised, the new divisor, each
        at least 100 ms after the one before. Records those three gaps and returns them. The
        other UART must stay closed, and so quiet, until the trace has been read."""
        status = self.look("Label6")
        clicked = host.time()
        self.click(SPEED_BUTTON[new])

        def divisor_written():
            writes = register_writes(host.trace(since, "serial_write"))
            return any(e[0] > clicked and e[1] == "divisor" and e[2] == DIVISOR[new]
                       for e in writes) and writes

        writes = wait_for(divisor_written, 30, f"the divisor for {new} was never written")
        changed = [e for e in writes if e[0] > clicked]
        if steps:
            record(f"the speed change {old} -> {new} on /dev/ttyS0 at the 16550's registers, "
                   "seconds from the click:")
            for event in changed:
                at, kind, value = event[:3]
                extra = f" at divisor 0x{event[3]:02x}" if kind == "byte" else ""
                note = f" (RTS {'on' if value & RTS else 'off'})" if kind == "mcr" else ""
                record(f"  {at - clicked:7.3f}  {kind} 0x{value:02x}{extra}{note}")

        rts_off = next(e for e in changed if e[1] == "mcr" and not e[2] & RTS)
        rts_on = next(e for e in changed if e[1] == "mcr" and e[2] & RTS and e[0] > rts_off[0])
        new_divisor = next(e for e in changed if e[1] == "divisor" and e[0] > rts_on[0])
        sent = [e for e in changed if e[1] == "byte" and rts_off[0] < e[0] < rts_on[0]]
        gaps = (sent[0][0] - rts_off[0] if sent else 0, rts_on[0] - sent[0][0] if sent else 0,
                new_divisor[0] - rts_on[0])
        record(f"{what} {old} -> {new}: RTS off -> code byte {gaps[0]:.3f} s, code byte -> "
               f"RTS on {gaps[1]:.3f} s, RTS on -> new divisor {gaps[2]:.3f} s")
        self.assertEqual([(e[2], e[3]) for e in sent], [(CODE[new], DIVISOR[old])])
        # Nothing else of the sequence before RTS drops, and the divisor as it was until after.
        self.assertFalse([e for e in changed if e[0] < rts_off[0] and e[1] != "mcr"])
        self.assertFalse([e for e in changed if e[1] == "divisor" and e[0] < rts_on[0]])
        self.assertEqual(new_divisor[2], DIVISOR[new])
        for gap in gaps:
            self.assertGreaterEqual(gap, 0.100)
        self.assertEqual(host.read("ttyS0", 1), bytes([CODE[new]]))
        self.assertNotEqual(self.look("Label6", unlike=status, timeout=10), status)
        return gaps

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
        # The ports as the device menu names them, without the UART nodes that have no chip.
        wait_for(lambda: os.path.exists(ADAPTER), 30, f"no {ADAPTER}")
        listing = listed_ports()
        record(f"--list-ports, with phantom nodes {sorted(glob.glob('/dev/ttyS[23]'))} beside "
               f"the two UARTs: {listing}")
        described = dict(line.split(" — ", 1) for line in listing if " — " in line)
        self.assertTrue(os.path.exists("/dev/ttyS2") and os.path.exists("/dev/ttyS3"))
        for device in ("/dev/ttyS0", "/dev/ttyS1", ADAPTER):
            self.assertTrue(described.get(device), f"{device} is not listed with a description")
        self.assertFalse([line for line in listing if line.split(" — ")[0] in
                          ("/dev/ttyS2", "/dev/ttyS3")])

        self.start()
        closed = self.look("Label6")
        before_open = host.time()
        self.click("Command8")
        self.look("Label6", unlike=closed)
        self.assertTrue(self.holds("/dev/ttyS0"))
        self.speed_change(before_open, 9600, 115200, "the speed change", steps=True)

        # The same under load, a busy process on each processor: the waits are the program's
        # own, counted from when the driver says the code byte has left, and may only grow.
        load = [subprocess.Popen(["sh", "-c", "while :; do :; done"])
                for _ in range(os.cpu_count())]
        try:
            old = 115200
            for number, new in enumerate([9600, 115200] * 5, 1):
                self.speed_change(before_open, old, new, f"under load, change {number:2}")
                old = new
        finally:
            for busy in load:
                busy.kill()
                busy.wait()

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

        # OPEN at once after CLOSE, with the text sent never said to have left. The model
        # takes every byte and its modem status says its transmitter is empty, so the driver
        # gives the line up at once: nothing for OPEN to wait for here (see the adapter that
        # still sends at CLOSE below).
        self.open_right_after_close(ADAPTER, closed, opened)

    def test_usb_adapter_chosen_and_found_again(self):
        """The adapter chosen in COM1's menu is kept by what it is: plugged back in while its
        old node was held, it comes back as /dev/ttyUSB1, and OPEN opens it there."""
        wait_for(lambda: os.path.exists(ADAPTER), 30, f"no {ADAPTER}")
        self.start()
        closed = self.look("Label6")
        settings = self.choose_in_menu(ADAPTER)
        record(f"{ADAPTER} chosen in COM1's menu; the settings: {settings.splitlines()}")
        # Whatever happens here, the next case finds the adapter as /dev/ttyUSB0 again.
        self.addCleanup(self.plug_back_unheld)
        holder = os.open(ADAPTER, os.O_RDWR | os.O_NONBLOCK | os.O_NOCTTY)
        try:
            host.ask("unplug")
            host.ask("plug")
            wait_for(lambda: glob.glob("/dev/ttyUSB*"), 30, "the adapter did not come back")
            nodes = sorted(glob.glob("/dev/ttyUSB*"))
        finally:
            os.close(holder)
        self.assertEqual(nodes, ["/dev/ttyUSB1"])
        self.click("Command8")
        wait_for(lambda: self.holds("/dev/ttyUSB1") or len(desktop.windows()) > 1, 30,
                 "OPEN neither opened nor told why")
        held = [d for d in ("/dev/ttyS0", ADAPTER, "/dev/ttyUSB1") if self.holds(d)]
        texts = self.messages(timeout=1) if len(desktop.windows()) > 1 else []
        record(f"pulled and plugged back while a process held {ADAPTER}: nodes {nodes}; after "
               f"OPEN the program holds {held}, messages {texts}")
        self.assertEqual((held, texts), (["/dev/ttyUSB1"], []))
        self.assertNotEqual(self.look("Label6", unlike=closed), closed)
        self.click("Command2")
        self.assertEqual(host.read("ttyUSB0", 7), b"12345\r\n")

        # Twins, which report one serial number as cloned chips do: the second, chosen in the
        # menu by its USB port, is the one opened and the one Send reaches.
        self.click("Command9")
        self.look("Label6", like=closed)
        host.ask("plug twins")
        self.addCleanup(host.ask, "unplug twins")
        twins = wait_for(lambda: len(usb_nodes("KV4242")) == 2 and usb_nodes("KV4242"), 30,
                         "the twins did not come")
        settings = self.choose_in_menu(twins["4"])
        record(f"twins {twins} (by USB port); the second chosen, the settings: "
               f"{settings.splitlines()}")
        self.click("Command8")
        wait_for(lambda: self.holds(twins["4"]) or len(desktop.windows()) > 1, 30,
                 "OPEN neither opened the twin nor told why")
        self.assertEqual([node for node in twins.values() if self.holds(node)], [twins["4"]])
        self.click("Command2")
        self.assertEqual(host.read("twin2", 7), b"12345\r\n")
        self.assertEqual(host.read("twin1", timeout=1), b"")

    def test_usb_adapter_still_sending_at_close(self):
        """OPEN at once after CLOSE on an adapter whose far end takes nothing: the plain
        usb-serial driver cannot throw away what is on its way to the adapter, and the kernel's
        close of the line waits for it up to the driver's closing_wait (30 s), on a thread of
        the program. OPEN waits for that with the window going on, and opens afterwards."""
        with open(GENERIC_UDC, "w") as udc:
            udc.write("dummy_udc.1")  # plugged in; nobody reads its far end, /dev/ttyGS1
        self.addCleanup(self.unplug_generic)
        device = wait_for(lambda: usb_node(GENERIC_SERIAL), 30, "the generic adapter has no node")
        self.start("--com1", device)
        closed = self.look("Label6")
        self.click("Command8")
        opened = self.look("Label6", unlike=closed)
        desktop.set_clipboard("0123456789ABCDEF" * 256)  # 4 kB, pasted as one line
        self.click("Text1")
        desktop.keys("ctrl+a", "ctrl+v")
        self.click("Command2")
        time.sleep(1)
        record(f"{device}, the plain usb-serial driver, far end not reading: "
               f"{queued(device)} bytes queued in the driver")
        self.assertTrue(self.open_right_after_close(device, closed, opened))

    def unplug_generic(self):
        with open(GENERIC_UDC, "w") as udc:
            udc.write("\n")
        wait_for(lambda: not usb_node(GENERIC_SERIAL), 30, "the generic adapter stayed")

    def open_right_after_close(self, device, closed, opened):
        """CLOSE clicked twice, which closes at once, then OPEN at once: the other panel's OPEN
        answers within a second, and COM1 opens once the system lets the device go. Returns
        whether COM1 was still waiting for the system when the other panel answered."""
        close = self.point("Command9")
        desktop.quick_clicks(close)
        time.sleep(0.5)
        desktop.quick_clicks(close)
        try:
            texts = self.messages(timeout=3)
        except TimeoutError:  # nothing counted as thrown away: nothing to tell
            texts = []
        record(f"CLOSE twice on {device} with the text sent not said to have left: "
               f"messages {texts}")
        self.assertFalse([text for text in texts if "8019" not in text], texts)
        self.assertEqual(self.look("Label6", like=closed), closed)
        self.assertFalse(self.holds(device))
        com2_closed = self.look("Label8")
        self.click("Command8")
        opening = time.monotonic()
        desktop.quick_clicks(self.point("Command21"))
        clicked = time.monotonic()
        com2 = self.look("Label8", unlike=com2_closed, timeout=1.0)
        answered = time.monotonic() - clicked
        waiting = not self.holds(device)
        com1 = self.look("Label6", like=opened, timeout=45)
        record(f"  OPEN of COM1 at once after it: COM2's OPEN answered {answered:.2f} s after "
               f"its click, COM1 {'still waiting' if waiting else 'open by then'}; COM1 open "
               f"{time.monotonic() - opening:.1f} s after its OPEN")
        self.assertNotEqual(com2, com2_closed)
        self.assertLessEqual(answered, 1.0)
        self.assertTrue(self.holds("/dev/ttyS1"))
        self.assertEqual(com1, opened)
        self.assertTrue(self.holds(device))
        return waiting

    def plug_back_unheld(self):
        host.ask("unplug")
        host.ask("plug")
        wait_for(lambda: os.path.exists(ADAPTER), 30, f"{ADAPTER} did not come back")

    # A CDC ACM adapter: the kernel's own gadget (g_serial) on its dummy host controller.
    def test_cdc_acm_adapter(self):
        """Chosen in COM1's menu, and a speed change right after text at the adapter's USB
        requests. Its driver says sent bytes have left once the USB host has them, so what keeps
        the steps apart there is the program's own waits, and the text's time on the line."""
        wait_for(lambda: os.path.exists(ACM) and os.path.exists(GADGET), 30,
                 f"no {ACM} and {GADGET}")
        far_end = Collector(GADGET)
        try:
            self.start()
            closed = self.look("Label6")
            self.choose_in_menu(ACM)
            self.click("Command8")
            self.look("Label6", unlike=closed, timeout=30)
            self.assertTrue(self.holds(ACM))
            with open("/sys/class/tty/ttyACM0/device/../busnum", encoding="ascii") as busnum:
                bus = busnum.read().strip()
            usb = Collector(f"/sys/kernel/debug/usb/usbmon/{bus}u")

            def framed():
                found = framed_requests(usb.data.decode())
                return len(found[0]) == 4 and found

            # 960 bytes of text, which take a second at 9600 baud, and the speed at once: the
            # driver says they have left once the USB host has them, but RTS drops only when
            # they can have left the adapter as well.
            text = b"0123456789ABCDEF" * 60
            desktop.set_clipboard(text.decode())
            self.click("Text1")
            desktop.keys("ctrl+a", "ctrl+v")
            try:
                desktop.quick_clicks(self.point("Command2"), self.point("Command10"))
                steps, bulk = wait_for(framed, 30,
                                       "no SET_LINE_CODING for 115200 after the speed code")
            finally:
                usb.close()
            handed = next(int(words[1]) for words in map(str.split, usb.data.decode().splitlines())
                          if len(words) > 3 and words[2] == "S" and words[3].startswith("Bo"))
            record(f"the text handed to {ACM}, then RTS dropped "
                   f"{(steps[0][0] - handed) % 4096000000 / 1e6:.3f} s later (its line time: "
                   f"1.000 s)")
            self.assertGreaterEqual((steps[0][0] - handed) % 4096000000, 1000000)
            record(f"the speed change 9600 -> 115200 on {ACM} in usbmon (bus {bus}), "
                   "submissions:")
            for (at, line), (before, _) in zip(steps, [steps[0]] + steps[:-1]):
                record(f"  +{(at - before) % 4096000000 / 1e6:6.3f} s  {line}")
            self.assertEqual([rest.split("=")[-1].strip() for rest in bulk], ["00"])
            for (at, _), (before, _) in zip(steps[1:], steps[:-1]):
                # usbmon's clock runs over every 4096 s.
                self.assertGreaterEqual((at - before) % 4096000000, 100000)
            self.assertEqual(wait_for(lambda: len(far_end.data) > len(text) and far_end.data, 10,
                                      f"not all at {GADGET}"), text + b"\x00")
        finally:
            far_end.close()

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
