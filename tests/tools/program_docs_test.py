#!/usr/bin/env python3
"""Each program's manual page renders without warnings and names every
option its --help lists; the bash completion offers exactly those options
and the values each takes."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1))
PROGRAMS = [sys.argv.pop(1) for _ in range(len(sys.argv) - 1)]


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, text=True,
                          check=True).stdout
    return set(re.findall(r"--[a-z][a-z-]*", text))


class ProgramDocs(unittest.TestCase):
    def test_pages_render_and_name_every_option(self):
        for program in PROGRAMS:
            name = os.path.basename(program)
            with self.subTest(name):
                page = os.path.join(SOURCE, "docs/man", name + ".1")
                r = subprocess.run(["man", "--warnings", "-l", page], capture_output=True,
                                   text=True, env=dict(os.environ, LC_ALL="C.UTF-8",
                                                       MANWIDTH="1000"))
                self.assertEqual((r.returncode, r.stderr), (0, ""))
                self.assertIn("NAME\n       " + name + " - ", r.stdout)
                missing = [o for o in sorted(help_options(program))
                           if not re.search(re.escape(o) + r"\b(?!-)", r.stdout)]
                self.assertEqual(missing, [])

    def complete(self, *words, folder=None):
        script = os.path.join(SOURCE, "assets/completion/vexorin-research")
        line = " ".join(["vexorin-research", *words])
        r = subprocess.run(
            ["bash", "-c", 'source "$0"; COMP_WORDS=($1 ""); COMP_CWORD=$((${#COMP_WORDS[@]}-1)); '
             '_vexorin_research; printf "%s\\n" "${COMPREPLY[@]}"', script, line],
            capture_output=True, text=True, cwd=folder)
        self.assertEqual(r.stderr, "")
        return sorted(filter(None, r.stdout.split("\n")))

    def test_completion_offers_the_service_profiles(self):
        with tempfile.TemporaryDirectory() as config:
            os.makedirs(os.path.join(config, "vexorin", "services"))
            open(os.path.join(config, "vexorin", "services", "mine.json"), "w").close()
            saved = dict(os.environ)
            os.environ.update(VEXORIN_DATA_DIR=os.path.join(SOURCE, "assets"),
                              XDG_CONFIG_HOME=config)
            try:
                offered = self.complete("--search-service")
            finally:
                os.environ.clear()
                os.environ.update(saved)
        self.assertEqual(offered, ["classic", "google-ads", "google-cse", "mine", "searxng",
                                   "serpapi"])

    def test_completion(self):
        research = next(p for p in PROGRAMS if p.endswith("vexorin-research"))
        self.assertEqual(self.complete(), sorted(help_options(research)))
        with tempfile.TemporaryDirectory() as folder:
            for f in ("a.bki", "b.BKI", "c.csv"):
                open(os.path.join(folder, f), "w").close()
            for words, offered in [
                (["--select"], ["all", "invert", "none"]),
                (["--sort"], [str(c) for c in range(7)]),
                (["--parallel"], [str(n) for n in range(1, 9)]),
                (["--retries"], [str(n) for n in range(6)]),
                (["--keyword"], []),
                (["--open"], ["a.bki", "b.BKI"]),
                (["--compare", "a.bki"], ["a.bki", "b.BKI", "run:"]),
                (["--save"], ["a.bki", "b.BKI", "c.csv"]),
                (["--keyword", "x"], sorted(help_options(research))),
            ]:
                self.assertEqual(self.complete(*words, folder=folder), offered, words)


if __name__ == "__main__":
    unittest.main(verbosity=1)
