#!/usr/bin/env python3
"""cmake --install into a fresh prefix: the programs, help, icon and menu
entry land in the usual places, and the installed program starts offscreen."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"


class InstallIntoAPrefix(unittest.TestCase):
    def test_install_and_start(self):
        with tempfile.TemporaryDirectory() as prefix:
            r = subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix],
                               capture_output=True, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
            for path in ("bin/vexorin", "bin/vexorin-research", "bin/vexorin-services",
                         "share/applications/vexorin.desktop",
                         "share/metainfo/org.vexorin.vexorin.metainfo.xml",
                         "share/vexorin/help/index.html",
                         "share/icons/hicolor/16x16/apps/vexorin.png",
                         "share/icons/hicolor/256x256/apps/vexorin.png",
                         "share/man/man1/vexorin.1.gz", "share/man/man1/vexorin-research.1.gz",
                         "share/bash-completion/completions/vexorin-research",
                         "share/doc/vexorin/copyright", "share/doc/vexorin/changelog.gz"):
                self.assertTrue(os.path.exists(os.path.join(prefix, path)), path)
            # The timer's service starts the program where this prefix holds it.
            with open(os.path.join(prefix, "lib/systemd/user/vexorin-track.service")) as f:
                self.assertIn(f"ExecStart={prefix}/bin/vexorin-research --track\n", f.read())
            runtime = tempfile.mkdtemp()
            os.chmod(runtime, 0o700)
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
                       VEXORIN_INSTANCE_DIR=runtime,
                       XDG_CONFIG_HOME=runtime)
            p = subprocess.Popen([os.path.join(prefix, "bin/vexorin")], env=env, cwd=runtime,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                time.sleep(1.5)
                self.assertIsNone(p.poll(), p.stderr.read() if p.poll() is not None else "")
            finally:
                p.kill()
                p.communicate()


if __name__ == "__main__":
    unittest.main(verbosity=1)
