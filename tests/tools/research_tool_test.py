#!/usr/bin/env python3
"""The headless tool's contract, through the real binary: arguments, order of
work, output format and exit codes."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-research"


def run(*args, env=None):
    e = dict(os.environ, LC_ALL="C")
    if env:
        e.update(env)
    return subprocess.run([TOOL, *args], capture_output=True, env=e, timeout=60)


ROWS = {
    "item0": ("beta", "10", "100", "10", "-", "0%", "0", "1"),
    "item1": ("alpha", "30", "50", "1.667", "2", "98%", "29", "0"),
    "item2": ("gamma", "20", "?", "0", "1", "100%", "20", "1"),
    "item3": ("delta", "5", "7", "1.4", "10", "57.143%", "3", "1"),
}
KEYS = ("keyterm", "demand", "competition", "cost", "rank", "profitability",
        "estimation", "check")


def write_bki(path, rows=ROWS):
    with open(path, "w", encoding="latin-1") as f:
        for name, values in rows.items():
            f.write(f"[{name}]\n")
            for k, v in zip(KEYS, values):
                f.write(f"{k}={v}\n")


class ResearchToolContract(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.bki = os.path.join(self.dir.name, "in.bki")
        write_bki(self.bki)

    def tearDown(self):
        self.dir.cleanup()

    def lines(self, *args):
        r = run(*args)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout.decode("latin-1").splitlines()

    def test_open_prints_rows_in_file_order(self):
        out = self.lines("--open", self.bki)
        self.assertEqual(out[0], "1\tbeta\t10\t100\t10\t-\t0%\t0")
        self.assertEqual(out[1], "0\talpha\t30\t50\t1.667\t2\t98%\t29")
        self.assertEqual(len(out), 4)

    def test_sort_by_rank_puts_not_found_first(self):
        out = self.lines("--open", self.bki, "--sort", "4")
        self.assertEqual([l.split("\t")[1] for l in out], ["beta", "gamma", "alpha", "delta"])

    def test_sorts_and_selects_run_in_given_order(self):
        out = self.lines("--open", self.bki, "--sort", "1", "--select", "none",
                         "--select", "invert", "--sort", "0")
        self.assertEqual([l.split("\t")[1] for l in out], ["alpha", "beta", "delta", "gamma"])
        self.assertTrue(all(l.startswith("1\t") for l in out))

    def test_save_open_round_trip_with_awkward_texts(self):
        texts = [b"  blanks  ", b'"quoted"', b"a=b", b";semi", b"[br]", b"tab\there",
                 b"\xe4\xf6 bytes", b"back\\slash", b"line\nbreak", b"", b"=", b"\""]
        # Quoted values with backslash escapes are how texts like these are
        # stored; write them that way, then let the tool save and reopen.
        def quote(t):
            return b'"' + t.replace(b"\\", b"\\\\").replace(b"\n", b"\\n") + b'"'
        src = os.path.join(self.dir.name, "src.bki")
        with open(src, "wb") as f:
            for i, t in enumerate(texts):
                f.write(b"[item%d]\n" % i)
                for k in KEYS[:-1]:
                    f.write(k.encode() + b"=" + quote(t) + b"\n")
                f.write(b"check=%d\n" % (i % 2))
        saved = os.path.join(self.dir.name, "saved.bki")
        first = run("--open", src, "--sort", "0", "--save", saved)
        second = run("--open", saved)
        self.assertEqual(first.returncode, 0)
        self.assertEqual(len(first.stdout.splitlines()), len(texts))
        self.assertEqual(first.stdout, second.stdout)
        for t in (b"\t  blanks  \t", b'\t"quoted"\t', b"\tback\\\\slash\t",
                  b"\tline\\nbreak\t", b"\ttab\\there\t"):
            self.assertIn(t, first.stdout)

    def test_escapes_in_output(self):
        path = os.path.join(self.dir.name, "esc.bki")
        with open(path, "wb") as f:
            f.write(b'[item0]\nkeyterm="a\\nb\\\\c\tt"\n')
        out = run("--open", path).stdout
        self.assertEqual(out, b"1\ta\\nb\\\\c\\tt\t\t\t\t\t\t\n")

    def test_locale_decimal_separator(self):
        # Sorting column 3 reads decimals with the locale's separator.
        r = run("--open", self.bki, "--sort", "3", env={"LC_ALL": "C"})
        names = [l.split(b"\t")[1] for l in r.stdout.splitlines()]
        self.assertEqual(names, [b"gamma", b"delta", b"alpha", b"beta"])

    def test_bad_arguments_exit_2_with_usage(self):
        for args in (["--sort"], ["--sort", "7"], ["--sort", "x"], ["--select", "some"],
                     ["--bogus"], ["--site", "x"], ["--results", "abc", "--keyword", "k"]):
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertIn(b"usage", r.stderr)
            self.assertEqual(r.stdout, b"")

    def test_no_arguments_prints_nothing(self):
        r = run()
        self.assertEqual((r.returncode, r.stdout), (0, b""))


if __name__ == "__main__":
    unittest.main(verbosity=1)
