#!/usr/bin/env python3
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The program on the kernel's own serial drivers: boots the guest of scripts/vm-guest.sh under
QEMU and plays, on this side, the far end of each of its lines and the observer.

    run.py GUEST_DIR SOURCE_DIR PROGRAM WORK_DIR

The guest has two UARTs that QEMU emulates (driver 8250, the guest's own ttyS0 and ttyS1) beside
two nodes without a chip (its ttyS2 and ttyS3, as a PC's kernel keeps them), an emulated FTDI USB
adapter on xHCI (driver ftdi_sio, its ttyUSB0) and, plugged in on request, two more that share a
serial number. Each line's far end is a unix socket made here, in a directory of this run's own:
nothing of this machine's serial devices reaches QEMU, and nothing here opens one. The cases run inside the
guest as one process (tests/vm/test_vm.py), which asks over a virtio-serial port for what only
this side can do: read and write a far end, stop reading one, pull the adapter out and plug it
back (QMP), and read QEMU's trace of the emulated chips. The guest's console is on virtio and is
copied to standard output as it comes. Exits with the status of the cases."""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

LINES = ("ttyS0", "ttyS1", "ttyUSB0", "twin1", "twin2")
# A serial number of its own, as FTDI chips have: QEMU's default one names the USB port, and the
# adapter comes back on the next free port each time it is plugged in.
ADAPTER = ["driver=usb-serial", "chardev=ttyUSB0", "id=adapter", "bus=xhci.0",
           "serial=KV000001"]
# Two more that share one serial number, as cloned chips do, each in a USB port of its own
# (the xHCI's USB 2 ports 3 and 4); plugged in only by the case that uses them.
TWINS = [dict(driver="usb-serial", chardev=f"twin{n}", id=f"twin{n}", bus="xhci.0",
              port=str(n + 2), serial="KV4242") for n in (1, 2)]
# The whole run, boot included, under TCG on a busy machine: well beyond what it takes.
RUN_TIMEOUT = 20 * 60


def connect(path, timeout=30.0):
    deadline = time.monotonic() + timeout
    while True:
        try:
            client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            client.connect(path)
            return client
        except OSError:
            client.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


class FarEnd:
    """The far end of one line. Reads all the time unless stopped, keeping what came for the
    guest to ask for: the FTDI model freezes the whole machine when nobody reads its socket."""

    def __init__(self, path):
        self.socket = connect(path)
        self.received = bytearray()
        self.reading = threading.Event()
        self.reading.set()
        self.changed = threading.Condition()
        self.closed = False
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while not self.closed:
            if not self.reading.wait(0.1):
                continue
            ready, _, _ = select.select([self.socket], [], [], 0.1)
            if not ready or not self.reading.is_set():
                continue
            try:
                data = self.socket.recv(65536)
            except OSError:
                return
            if not data:
                return
            with self.changed:
                self.received += data
                self.changed.notify_all()

    def take(self, count, timeout, quiet):
        """What came, once count bytes have (or, without a count, once the line has been quiet
        for a while), or whatever came before the time ran out."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while time.monotonic() < deadline and (count is None or len(self.received) < count):
                before = len(self.received)
                wait = min(quiet if count is None else 0.1, deadline - time.monotonic())
                self.changed.wait(max(wait, 0))
                if count is None and len(self.received) == before and before > 0:
                    break
            size = len(self.received) if count is None else min(count, len(self.received))
            data = bytes(self.received[:size])
            del self.received[:size]
            return data

    def close(self):
        self.closed = True
        self.socket.close()


class Qmp:
    def __init__(self, path):
        self.socket = connect(path)
        self.file = self.socket.makefile("rw", encoding="utf-8")
        self.events = []
        self.file.readline()  # the greeting
        self.command("qmp_capabilities")

    def command(self, name, **arguments):
        self.file.write(json.dumps({"execute": name, "arguments": arguments}) + "\n")
        self.file.flush()
        while True:
            answer = json.loads(self.file.readline())
            if "event" in answer:
                self.events.append(answer)
            elif "error" in answer:
                raise RuntimeError(f"{name}: {answer['error']['desc']}")
            else:
                return answer.get("return")

    def wait_for_event(self, name, timeout=10.0):
        deadline = time.monotonic() + timeout
        while not any(e["event"] == name for e in self.events):
            if time.monotonic() > deadline:
                raise TimeoutError(f"no {name} from QEMU")
            ready, _, _ = select.select([self.socket], [], [], 0.1)
            if ready:
                self.events.append(json.loads(self.file.readline()))
        self.events = [e for e in self.events if e["event"] != name]


class Trace:
    """QEMU's trace of the emulated chips, with this machine's wall-clock time of each event:
    "PID@SECONDS.MICROSECONDS:name text" with -msg timestamp=on."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.events = []

    def since(self, after):
        if os.path.exists(self.path):
            with open(self.path, encoding="utf-8", errors="replace") as log:
                log.seek(self.offset)
                text = log.read()
            complete = text.rsplit("\n", 1)[0] + "\n" if "\n" in text else ""
            self.offset += len(complete.encode())
            for line in complete.splitlines():
                stamp, _, event = line.partition(":")
                if "@" in stamp and event:
                    name, _, detail = event.partition(" ")
                    self.events.append((float(stamp.split("@")[1]), name, detail))
        return [e for e in self.events if e[0] > after]


def qemu_command(guest, source, program, work, sockets):
    command = [
        "qemu-system-x86_64", "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
        "-machine", "pc", "-m", "1024", "-smp", "2",
        # Software emulation even where /dev/kvm exists: nested KVM on a virtual machine may
        # refuse the host's CPU model or start no guest at all, and the cases need no speed.
        "-accel", "tcg", "-cpu", "max",
        "-kernel", f"{guest}/vmlinuz", "-initrd", f"{guest}/initrd.img",
        # Four UART nodes for the two chips, as a PC's kernel makes them: the other two are the
        # phantoms a port list must leave out.
        "-append", "root=/dev/vda rw console=hvc0 init=/sbin/korvane-init panic=-1 quiet "
                   f"8250.nr_uarts=4 KORVANE_PROGRAM={os.path.relpath(program, source)}",
        "-drive", f"file={guest}/root.img,format=raw,if=virtio,snapshot=on",
        "-virtfs", f"local,path={source},mount_tag=source,security_model=none,readonly=on",
        "-virtfs", f"local,path={work},mount_tag=work,security_model=none",
        "-device", "virtio-serial-pci",
        "-chardev", f"file,id=console,path={work}/console.log",
        "-device", "virtconsole,chardev=console",
        "-chardev", f"socket,id=control,path={sockets}/control,server=on,wait=off",
        "-device", "virtserialport,chardev=control,name=korvane.control",
        "-device", "qemu-xhci,id=xhci",
        "-qmp", f"unix:{sockets}/qmp,server=on,wait=off",
        "-msg", "timestamp=on", "-D", f"{work}/trace.log",
        "-trace", "serial_*", "-trace", "usb_serial_*",
    ]
    for line in LINES:
        command += ["-chardev", f"socket,id={line},path={sockets}/{line},server=on,wait=off"]
    command += ["-device", "isa-serial,chardev=ttyS0,index=0",
                "-device", "isa-serial,chardev=ttyS1,index=1",
                "-device", "usb-serial," + ",".join(ADAPTER[1:])]
    return command


def copy_console(path, done):
    """The guest's console on our output, a line at a time as it is written."""
    while not os.path.exists(path):
        if done.is_set():
            return
        time.sleep(0.1)
    pending = ""
    with open(path, encoding="utf-8", errors="replace") as console:
        while True:
            finished = done.is_set()  # QEMU has gone: what it wrote is all there
            pending += console.read()
            *lines, pending = pending.split("\n")
            for line in lines:
                print("guest: " + line, flush=True)
            if finished:
                if pending:
                    print("guest: " + pending, flush=True)
                return
            time.sleep(0.1)


def serve(control, far_ends, qmp, trace):
    """Answers the guest's requests until it says it is done; returns its status."""
    requests = control.makefile("r", encoding="utf-8")
    for line in requests:
        request = json.loads(line)
        what = request.pop("do")
        answer = {}
        try:
            if what == "done":
                return request["status"]
            if what == "time":
                answer["time"] = time.time()
            elif what == "trace":
                # Only the events asked for: the UART's reads while a driver waits for its
                # transmitter run to thousands.
                answer["events"] = [e for e in trace.since(request["after"])
                                    if e[1] == request.get("name", e[1])]
            elif what == "read":
                data = far_ends[request["line"]].take(request.get("count"),
                                                      request.get("timeout", 10.0),
                                                      request.get("quiet", 0.3))
                answer["data"] = data.hex()
            elif what == "write":
                far_ends[request["line"]].socket.sendall(bytes.fromhex(request["data"]))
            elif what == "stop":
                far_ends[request["line"]].reading.clear()
            elif what == "resume":
                far_ends[request["line"]].reading.set()
            elif what == "unplug":
                qmp.command("device_del", id="adapter")
                qmp.wait_for_event("DEVICE_DELETED")
                answer["time"] = time.time()
            elif what == "plug":
                qmp.command("device_add", **dict(a.split("=") for a in ADAPTER))
                answer["time"] = time.time()
            elif what == "plug twins":
                for twin in TWINS:
                    qmp.command("device_add", **twin)
            elif what == "unplug twins":
                for twin in TWINS:
                    qmp.command("device_del", id=twin["id"])
                    qmp.wait_for_event("DEVICE_DELETED")
            else:
                raise ValueError(f"unknown request {what!r}")
        except Exception as error:  # the guest's test reports it as its own failure
            answer = {"error": f"{type(error).__name__}: {error}"}
        control.sendall((json.dumps(answer) + "\n").encode())
    raise RuntimeError("the guest went away without saying it was done")


def main():
    guest, source, program, work = sys.argv[1:5]
    source, program, work = (os.path.abspath(p) for p in (source, program, work))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    sockets = tempfile.mkdtemp(prefix="korvane-vm-")
    command = qemu_command(guest, source, program, work, sockets)
    print("vm: booting the guest (software emulation: slow)", flush=True)
    started = time.monotonic()
    qemu = subprocess.Popen(command, stdin=subprocess.DEVNULL)
    done = threading.Event()
    console = threading.Thread(target=copy_console, args=(f"{work}/console.log", done))
    console.start()
    far_ends = {}
    status = None
    # However the run ends, QEMU does not outlive it.
    timer = threading.Timer(RUN_TIMEOUT, qemu.kill)
    timer.start()
    try:
        qmp = Qmp(f"{sockets}/qmp")
        control = connect(f"{sockets}/control")
        # The adapter is attached only while its socket has a client: connect before the guest's
        # kernel looks for it.
        for line in LINES:
            far_ends[line] = FarEnd(f"{sockets}/{line}")
        status = serve(control, far_ends, qmp, Trace(f"{work}/trace.log"))
        qmp.command("quit")
    except Exception as error:
        print(f"vm: {type(error).__name__}: {error}", flush=True)
    finally:
        timer.cancel()
        try:
            qemu.wait(10 if status is not None else 0)
        except subprocess.TimeoutExpired:
            qemu.kill()
            qemu.wait()
        done.set()
        console.join()
        for far_end in far_ends.values():
            far_end.close()
        shutil.rmtree(sockets, ignore_errors=True)
    print(f"vm: the guest ran {time.monotonic() - started:.0f} s; status {status}", flush=True)
    return 1 if status is None else status


if __name__ == "__main__":
    # Stopped from outside (a time limit, ^C): QEMU still goes with us.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    sys.exit(main())
