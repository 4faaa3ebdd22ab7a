# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""Figures from the real program, through the end-to-end set-up: start-up time to the first shown
window, resident memory after start, processor time per speed change, and the measured timeline
of one speed change on the line.

    build the tests first (./test.sh), then:  /usr/bin/python3 bench/bench_e2e.py [build-dir]
"""
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from desktop import Desktop, centre, designed_rects  # noqa: E402
from line import Line  # noqa: E402
from program import Program  # noqa: E402

WORK = os.path.join(BUILD, "tests", "e2e")
LINES = os.path.join(WORK, "lines")
PRELOAD = os.path.join(BUILD, "tests", "libmodem_lines.so")


def main():
    os.makedirs(LINES, exist_ok=True)
    executable = os.path.join(BUILD, "korvane-speed-demo")
    desktop = Desktop()
    lines = [Line(LINES, "com1"), Line(LINES, "com2")]
    rects = designed_rects(SOURCE)
    startups, resident = [], []
    try:
        for _ in range(5):
            program = Program(executable, desktop, PRELOAD, os.path.join(WORK, "bench.log"),
                              LINES)
            while not desktop.windows():
                pass
            startups.append(time.monotonic() - program.started)
            time.sleep(1)
            resident.append(program.resident_kib() / 1024)
            desktop.close_window(desktop.windows()[0])
            program.wait(10)

        program = Program(executable, desktop, PRELOAD, os.path.join(WORK, "bench.log"), LINES)
        window = desktop.wait_for_windows(1)[0]
        origin = desktop.origin(window)

        def click(name):
            x, y = centre(rects[name])
            desktop.click_at(origin[0] + x, origin[1] + y)

        click("Command8")
        device = lines[0].device()
        program.wait_for_event(device, "open")
        time.sleep(0.5)
        runs = 20
        cpu_before = program.cpu_seconds()
        for run in range(runs):
            start = time.monotonic()
            click("Command10" if run % 2 == 0 else "Command14")
            program.wait_for_event(device, "settings 115200" if run % 2 == 0 else "settings 9600",
                                   start)
            time.sleep(0.1)
        cpu_per_change = (program.cpu_seconds() - cpu_before) / runs
        events = program.events(device)
        first = max(i for i, e in enumerate(events) if e.what == "rts 0")
        timeline = [e for e in events[first:] if not e.what.startswith("settings")
                    or e.what == "settings 9600"][:4]
        desktop.close_window(window)
        program.wait(10)
    finally:
        for line in lines:
            line.hang_up()
        desktop.close()

    print("The real program under Xvfb, on socat null-modem lines\n")
    print("| figure | value |")
    print("|---|---|")
    print(f"| start-up to the first shown window, median of 5 | {statistics.median(startups) * 1000:.0f} ms |")
    print(f"| resident memory 1 s after start, median of 5 | {statistics.median(resident):.1f} MB |")
    print(f"| processor time per speed change, mean of {runs} (clicks and repaints included) "
          f"| {cpu_per_change * 1000:.1f} ms |")
    print("\nThe last speed change (to 9600) as the line saw it:\n")
    print("| event | ms after RTS inactive |")
    print("|---|---|")
    for event in timeline:
        print(f"| {event.what} | {(event.at - timeline[0].at) * 1000:.1f} |")


if __name__ == "__main__":
    main()
