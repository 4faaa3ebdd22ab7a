# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The two Windows downloads as a user gets them: the portable zip and the setup program, made by
cpack from this build, each tried in a fresh private Wine prefix whose COM1 and COM2 are the
test's own pseudo-terminals."""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from desktop import Desktop  # noqa: E402

BUILD = os.environ["DOWNLOADS_BUILD_DIR"]
WORK = os.environ["DOWNLOADS_WORK_DIR"]
RUN = os.path.join(os.path.dirname(__file__), "run.sh")
NAME = "korvane-speed-demo-1.0-win64"
APP = "Korvane Change Speed Demo"
EXE = "korvane-speed-demo.exe"
CONTENTS = {EXE, "README.txt", "LICENSE.txt", "QT-NOTICE.txt", "licenses/LGPL-3.0-only.txt",
            "licenses/GPL-3.0-only.txt", "licenses/Qt-THIRD-PARTY.txt"}
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvaneSpeedDemo"


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, timeout=600,
                          **options).stdout


def files_under(folder):
    return {os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/")
            for top, _, names in os.walk(folder) for name in names}


class Prefix:
    """A fresh Wine prefix on the desktop's display."""

    def __init__(self, name, desktop):
        self.dir = os.path.join(WORK, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.env = desktop.env
        self.terminals = [os.openpty() for _ in ("com1", "com2")]
        for port, (_, secondary) in zip(("com1", "com2"), self.terminals):
            os.symlink(os.ttyname(secondary), os.path.join(self.dir, port))

    def wine(self, *command, check=True):
        result = subprocess.run(["bash", RUN, self.dir, *command], env=self.env,
                                capture_output=True, timeout=600)
        if check and result.returncode != 0:
            raise RuntimeError(f"{command}: {result.returncode} {result.stderr[-2000:]!r}")
        return result

    def folder(self, variable):
        """A Windows folder such as %APPDATA%, as a path here."""
        windows = self.wine("cmd", "/c", "echo", f"%{variable}%").stdout.decode().strip()
        return os.path.join(self.dir, "prefix", "drive_c", *windows[3:].split("\\"))

    def registry(self, key):
        """The values of a registry key, or None when there is no such key."""
        result = self.wine("reg", "query", key, check=False)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
        return values

    def export(self, root):
        """A whole registry hive as text."""
        path = os.path.join(self.dir, root + ".reg")
        self.wine("reg", "export", root, "Z:" + path.replace("/", "\\"), "/y")
        with open(path, "rb") as exported:
            return exported.read().decode("utf-16")

    def close(self):
        subprocess.run(["wineserver", "--kill"], capture_output=True,
                       env=dict(self.env, WINEPREFIX=f"{self.dir}/prefix"))
        for pair in self.terminals:
            for descriptor in pair:
                os.close(descriptor)


class Downloads(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        out = os.path.join(WORK, "out")
        run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out)
        cls.zip = os.path.join(out, NAME + ".zip")
        cls.setup = os.path.join(out, NAME + "-setup.exe")
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def prefix(self, name):
        prefix = Prefix(name, self.desktop)
        self.addCleanup(prefix.close)
        return prefix

    def starts_and_closes(self, prefix, program):
        started = subprocess.Popen(["bash", RUN, prefix.dir, program], env=prefix.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = self.desktop.wait_for_windows(1, timeout=120)[0]
            self.desktop.close_window(window)
            self.assertEqual(started.wait(60), 0)
        finally:
            if started.poll() is None:
                started.kill()
                started.wait()

    def test_program_file(self):
        with zipfile.ZipFile(self.zip) as archive:
            names = {n for n in archive.namelist() if not n.endswith("/")}
            self.assertEqual(names, {f"{NAME}/{name}" for name in CONTENTS})
            program = os.path.join(WORK, EXE)
            with open(program, "wb") as copy:
                copy.write(archive.read(f"{NAME}/{EXE}"))
        headers = run("x86_64-w64-mingw32-objdump", "-p", program).decode()
        self.assertIn("file format pei-x86-64", headers)
        self.assertRegex(headers, r"Subsystem\s+00000002\s+\(Windows GUI\)")
        self.assertNotIn(".debug_info", run("x86_64-w64-mingw32-objdump", "-h", program).decode())
        resources = run("wrestool", "--list", program).decode()
        self.assertIn("--type=14 --name=1", resources)  # the icon
        version = run("wrestool", "-x", "--raw", "--type=16", program)
        version = version.decode("utf-16-le", "replace")
        for text in (APP, "1.0", "Copyright (c) 2026 Korvane Developers", EXE, "Korvane\0"):
            self.assertIn(text, version)
        manifest = run("wrestool", "-x", "--raw", "--type=24", program).decode()
        for text in ("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "PerMonitorV2",
                     "Microsoft.Windows.Common-Controls", 'level="asInvoker"'):
            self.assertIn(text, manifest)
        self.assertNotIn("activeCodePage", manifest)

    def test_zip_runs_from_any_folder(self):
        prefix = self.prefix("zip")
        prefix.wine("cmd", "/c", "exit")
        folder = os.path.join(prefix.dir, "prefix", "drive_c", "Any folder")
        os.makedirs(folder)
        with zipfile.ZipFile(self.zip) as archive:
            archive.extractall(folder)
        self.starts_and_closes(prefix, rf"C:\Any folder\{NAME}\{EXE}")

    def test_setup_installs_and_uninstalls_silently(self):
        prefix = self.prefix("setup")
        prefix.wine(self.setup, "/S")
        installed = os.path.join(prefix.folder("LOCALAPPDATA"), "Programs", APP)
        shortcut = os.path.join(prefix.folder("APPDATA"), "Microsoft", "Windows", "Start Menu",
                                "Programs", APP + ".lnk")
        self.assertEqual(files_under(installed), CONTENTS | {"uninstall.exe"})
        with open(shortcut, "rb") as link:
            self.assertIn(EXE.encode("utf-16-le"), link.read())
        entry = prefix.registry(UNINSTALL_KEY)
        self.assertEqual({name: entry.get(name) for name in
                          ("DisplayName", "DisplayVersion", "Publisher", "NoModify")},
                         {"DisplayName": APP, "DisplayVersion": "1.0", "Publisher": "Korvane",
                          "NoModify": "0x1"})
        self.assertTrue(entry["DisplayIcon"].endswith(EXE + ",0"), entry)
        self.assertTrue(entry["QuietUninstallString"].endswith('uninstall.exe" /S'), entry)
        self.assertGreater(int(entry["EstimatedSize"], 16), 1000)  # KiB

        self.starts_and_closes(prefix, os.path.join(installed, EXE))

        # As Settings does it. The uninstaller hands over to a copy of itself and returns.
        quiet = entry["QuietUninstallString"]
        uninstaller, options = re.fullmatch(r'"([^"]+)"\s*(.*)', quiet).groups()
        prefix.wine(uninstaller, *options.split())
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and (os.path.exists(installed) or
                                               prefix.registry(UNINSTALL_KEY) is not None):
            time.sleep(0.5)
        self.assertFalse(os.path.exists(installed))
        self.assertFalse(os.path.exists(shortcut))
        self.assertIsNone(prefix.registry(UNINSTALL_KEY))
        left = [path for path in files_under(os.path.join(prefix.dir, "prefix", "drive_c"))
                if "korvane" in path.lower()]
        self.assertEqual(left, [])
        for root in ("HKCU", "HKLM"):
            self.assertNotIn("korvane", prefix.export(root).lower(), root)


if __name__ == "__main__":
    unittest.main(verbosity=2)
