#!/usr/bin/env python3
"""The real binary, started twice for one user: the second copy ends at once
with exit code 0 and shows nothing; a copy that crashed does not block."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

APP = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin"


class SingleInstance(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        os.chmod(self.dir.name, 0o700)
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                        VEXORIN_INSTANCE_DIR=self.dir.name, XDG_CONFIG_HOME=self.dir.name,
                        VEXORIN_SUGGEST_HOST="127.0.0.1:9", VEXORIN_SEARCH_HOST="127.0.0.1:9")
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait()
        self.dir.cleanup()

    def start(self, **env):
        p = subprocess.Popen([APP], env=dict(self.env, **env), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        self.procs.append(p)
        return p

    def wait_running(self, p):
        lock = os.path.join(self.dir.name, f"vexorin-{os.getuid()}.lock")
        for _ in range(100):
            if os.path.exists(lock):
                break
            time.sleep(0.05)
        time.sleep(0.3)
        self.assertIsNone(p.poll(), "the first copy should keep running")

    def test_second_copy_ends_silently(self):
        first = self.start()
        self.wait_running(first)
        t0 = time.monotonic()
        # A platform that does not exist: a copy that got as far as the GUI
        # would fail loudly; the second copy must end before it.
        second = self.start(QT_QPA_PLATFORM="no-such-platform")
        out, err = second.communicate(timeout=20)
        self.assertEqual(second.returncode, 0, err)
        self.assertLess(time.monotonic() - t0, 10)
        self.assertEqual(out, b"")
        self.assertEqual(err, b"")
        self.assertIsNone(first.poll(), "the running copy is left as it was")

    def test_empty_or_garbage_lock_file_does_not_block(self):
        lock = os.path.join(self.dir.name, f"vexorin-{os.getuid()}.lock")
        for content in (b"", b"garbage\x00\xff 12345\n"):
            with open(lock, "wb") as f:
                f.write(content)
            first = self.start()
            time.sleep(1.0)
            self.assertIsNone(first.poll(), f"starts despite a lock file holding {content!r}")
            second = self.start(QT_QPA_PLATFORM="no-such-platform")
            self.assertEqual(second.wait(timeout=20), 0)
            first.kill()
            first.wait()

    def test_the_runtime_folder_in_the_environment_does_not_matter(self):
        # The folder every copy of this user finds, whatever XDG_RUNTIME_DIR
        # says (only the tests' own VEXORIN_INSTANCE_DIR moves it).
        self.env.pop("VEXORIN_INSTANCE_DIR")
        first = self.start(XDG_RUNTIME_DIR=self.dir.name)
        time.sleep(1.0)
        if first.poll() is not None:
            self.skipTest("a copy of Vexorin runs for this user already")
        second = self.start(QT_QPA_PLATFORM="no-such-platform")
        self.assertEqual(second.wait(timeout=20), 0)
        third = self.start(QT_QPA_PLATFORM="no-such-platform",
                           XDG_RUNTIME_DIR=os.path.join(self.dir.name, "elsewhere"))
        self.assertEqual(third.wait(timeout=20), 0)
        self.assertIsNone(first.poll())

    def test_crashed_copy_does_not_block(self):
        first = self.start()
        self.wait_running(first)
        first.send_signal(signal.SIGKILL)
        first.wait()
        second = self.start()
        time.sleep(1.0)
        self.assertIsNone(second.poll(), "a new copy starts after a crash")


if __name__ == "__main__":
    unittest.main(verbosity=1)
