"""The install and the Debian package: contents, metadata, menu entry, and the installed program
starting on a display and exiting cleanly when its window is closed."""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from desktop import Desktop  # noqa: E402

BUILD = os.environ["PACKAGE_BUILD_DIR"]
WORK = os.environ["PACKAGE_WORK_DIR"]
ENTRY = "usr/share/applications/korvane-speed-demo.desktop"
FILES = ["usr/bin/korvane-speed-demo", ENTRY,
         "usr/share/icons/hicolor/scalable/apps/korvane-speed-demo.svg",
         "usr/share/icons/hicolor/64x64/apps/korvane-speed-demo.png"]


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

    def test_metadata(self):
        fields = run("dpkg-deb", "-f", self.deb, "Package", "Depends", "Description", "Section")
        self.assertIn("Package: korvane-speed-demo", fields)
        for library in ("libqt6widgets6", "libqt6serialport6", "libqt6gui6", "libqt6core6",
                        "libc6", "libstdc++6"):
            self.assertIn(library, fields)
        self.assertIn("Description: Serial port speed change demonstration", fields)
        self.assertIn("Section: electronics", fields)

    def test_contents(self):
        listing = run("dpkg-deb", "-c", self.deb)
        for path in FILES:
            self.assertIn("./" + path, listing)
        run("desktop-file-validate", os.path.join(self.root, ENTRY))

    def test_cmake_install(self):
        prefix = os.path.join(WORK, "prefix")
        run("cmake", "--install", BUILD, "--prefix", prefix)
        for path in FILES:
            self.assertTrue(os.path.exists(os.path.join(prefix, path.replace("usr/", "", 1))), path)

    def test_installed_program_starts_and_closes(self):
        desktop = Desktop()
        try:
            program = subprocess.Popen([os.path.join(self.root, "usr/bin/korvane-speed-demo")],
                                       env=desktop.env, stderr=subprocess.DEVNULL)
            window = desktop.wait_for_windows(1)[0]
            desktop.close_window(window)
            self.assertEqual(program.wait(10), 0)
        finally:
            desktop.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
