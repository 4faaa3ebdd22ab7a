# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
"""The install and the Debian package: what Debian's and the desktop's own checkers say of it, its
relations and contents, and the installed program starting on a display and exiting cleanly when
its window is closed."""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from desktop import Desktop  # noqa: E402

BUILD = os.environ["PACKAGE_BUILD_DIR"]
WORK = os.environ["PACKAGE_WORK_DIR"]
APP = "com.korvane.speeddemo"
BINARY = "usr/bin/korvane-speed-demo"
ENTRY = f"usr/share/applications/{APP}.desktop"
METAINFO = f"usr/share/metainfo/{APP}.metainfo.xml"
FILES = [BINARY, ENTRY, METAINFO,
         f"usr/share/icons/hicolor/scalable/apps/{APP}.svg",
         f"usr/share/icons/hicolor/64x64/apps/{APP}.png",
         "usr/share/man/man1/korvane-speed-demo.1.gz",
         "usr/share/doc/korvane-speed-demo/copyright",
         "usr/share/doc/korvane-speed-demo/changelog.gz"]


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", WORK)
        cls.deb = next(os.path.join(WORK, f) for f in os.listdir(WORK) if f.endswith(".deb"))
        cls.root = os.path.join(WORK, "root")
        run("dpkg-deb", "-x", cls.deb, cls.root)

    def test_checkers_accept_it(self):
        # No tag is overridden; informational ones (I:) may stay.
        tags = subprocess.run(["lintian", "--pedantic", self.deb], capture_output=True,
                              text=True).stdout.splitlines()
        self.assertEqual([t for t in tags if t.startswith(("E:", "W:"))], [])
        run("appstreamcli", "validate", "--no-net", os.path.join(self.root, METAINFO))
        run("desktop-file-validate", os.path.join(self.root, ENTRY))

    def test_relations(self):
        fields = run("dpkg-deb", "-f", self.deb, "Package", "Depends", "Section")
        self.assertIn("Package: korvane-speed-demo", fields)
        self.assertIn("Section: electronics", fields)
        depends = [alternatives.split(" | ") for alternatives in
                   fields.split("Depends: ", 1)[1].splitlines()[0].split(", ")]
        names = [[name.split(" ")[0] for name in group] for group in depends]
        for library in ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libc6", "libstdc++6",
                        "qt6-qpa-plugins"):
            self.assertIn([library], names)
        self.assertNotIn(["libqt6serialport6"], names)
        self.assertIn(["fonts-wqy-microhei", "fonts-noto-cjk", "fonts-arphic-uming"], names)

    def test_contents(self):
        listing = run("dpkg-deb", "-c", self.deb)
        for path in FILES:
            self.assertIn("./" + path, listing)
        sections = run("readelf", "--section-headers", "--wide", os.path.join(self.root, BINARY))
        self.assertNotIn(".debug_", sections)
        self.assertNotIn(".symtab", sections)

    def test_cmake_install(self):
        prefix = os.path.join(WORK, "prefix")
        run("cmake", "--install", BUILD, "--prefix", prefix)
        for path in FILES:
            self.assertTrue(os.path.exists(os.path.join(prefix, path.replace("usr/", "", 1))), path)

    def test_installed_program_starts_and_closes(self):
        desktop = Desktop()
        try:
            program = subprocess.Popen([os.path.join(self.root, BINARY)],
                                       env=desktop.env, stderr=subprocess.DEVNULL)
            window = desktop.wait_for_windows(1)[0]
            desktop.close_window(window)
            self.assertEqual(program.wait(10), 0)
        finally:
            desktop.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
