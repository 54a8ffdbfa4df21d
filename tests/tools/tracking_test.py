#!/usr/bin/env python3
"""Rank tracking through the real tool: projects made and changed from the
command line, due checks with the moves they print and notify, the lock that
keeps two checks apart, a stopped check. Run inside with_notifications.sh
(a real notification server) when it is there; notifications are then read
back from it. With VEXORIN_TEST_PG_URL (with_postgres.sh) the same against
a team's history on PostgreSQL."""
import fcntl
import json
import os
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from httpstub import Stub, ok, stall  # noqa: E402

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-research"
PG = os.environ.get("VEXORIN_TEST_PG_URL")
SLOWER = 3 if "ASAN_OPTIONS" in os.environ or "TSAN_OPTIONS" in os.environ else 1
RANK = "/search?p=%22{}%22&ei=UTF-8&n=20&fl=0&b=1"


def page(rank):
    """A first result page with mysite.com at rank (none: not on it)."""
    hosts = [f"s{i}.example" for i in range(1, 21)]
    if rank:
        hosts[rank - 1] = "mysite.com"
    return ok("Results of about <b>1,234</b><ol>" +
              "".join(f"<li><a href=http://{h}/>{h}</a></li>" for h in hosts) + "</ol>")


class Tracking(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.TemporaryDirectory()
        self.stub = Stub({})
        self.ranks({"alpha": 2, "beta": 15, "gamma": None})
        self.env = dict(os.environ, LC_ALL="C", XDG_DATA_HOME=self.home.name + "/data",
                        XDG_CONFIG_HOME=self.home.name + "/config",
                        VEXORIN_SUGGEST_HOST=self.stub.host(),
                        VEXORIN_SEARCH_HOST=self.stub.host())
        self.history = self.home.name + "/data/vexorin/history.sqlite3"
        if PG:
            self.env["VEXORIN_HISTORY_URL"] = PG
            self.assertEqual(self.tool("--track-list").returncode, 0)  # not made: empty
            self.tool("--track-remove", "nothing")  # made, if it was not
            self.sql("TRUNCATE runs, rows, top_results, projects, tracked_terms CASCADE")

    def tearDown(self):
        self.stub.close()
        self.home.cleanup()

    def ranks(self, ranks):
        for term, rank in ranks.items():
            self.stub.routes[f"/search?p=%22{term}%22"] = ok("of about <b>1,234</b>")
            self.stub.routes[RANK.format(term)] = page(rank)

    def tool(self, *args):
        return subprocess.run([TOOL, *args], capture_output=True, env=self.env, timeout=60)

    def lines(self, *args):
        r = self.tool(*args)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout.decode().splitlines()

    def sql(self, query):
        """The rows a query gives, each value as text, in either history."""
        if PG:
            out = subprocess.run(["psql", PG, "-qAtF", "\t", "-c", query], check=True,
                                 capture_output=True, env=self.env).stdout.decode()
            return [tuple(line.split("\t")) for line in out.splitlines()]
        with sqlite3.connect(self.history) as db:
            return [tuple(str(v) for v in row) for row in db.execute(query).fetchall()]

    def make_project(self):
        self.assertEqual(self.lines("--track-add", "shop", "--site", "mysite.com", "--depth", "1",
                                    "alpha", "beta", "gamma", "--parallel", "1"),
                         ["shop: 3 terms added, 3 tracked"])

    def test_projects_are_made_changed_and_removed_from_the_tool(self):
        r = self.tool("--track-add", "shop", "alpha")
        self.assertEqual((r.returncode, r.stderr),
                         (2, b"vexorin-research: a new project needs its site: --site\n"))
        self.make_project()
        # Terms match without regard to case; blanks around a term are not its own.
        self.assertEqual(self.lines("--track-add", "shop", "ALPHA", " delta "),
                         ["shop: 1 term added, 4 tracked"])
        r = self.tool("--track-list")
        # No user systemd here: the crontab line that does the timer's work.
        self.assertTrue(r.stderr.decode().endswith(
            "; to check every hour, add this line with crontab -e: "
            "17 * * * * vexorin-research --track\n"), r.stderr)
        self.assertEqual(self.lines("--track-list"), [
            "shop\tmysite.com\t4 terms\tdue now",
            "shop\talpha\t?\tbest ?", "shop\tbeta\t?\tbest ?", "shop\tgamma\t?\tbest ?",
            "shop\tdelta\t?\tbest ?"])
        self.assertEqual(self.lines("--track-remove", "shop", "Delta", "nothing"),
                         ["shop: 1 term removed"])
        r = self.tool("--track-remove", "elsewhere")
        self.assertEqual((r.returncode, r.stderr),
                         (1, b"vexorin-research: there is no tracking project elsewhere\n"))
        for wrong in (["--track-list", "x"], ["--track", "--track-list"], ["--track-add"],
                      ["--track", "--interval", "0"], ["--track-add", " ", "--site", "s", "x"]):
            self.assertEqual(self.tool(*wrong).returncode, 2, wrong)
        self.assertEqual(self.lines("--track-remove", "shop"),
                         ["shop: removed, its checks stay in the history"])
        self.assertEqual(self.lines("--track-list"), [])

    def notifications(self):
        """What the notification server was sent, oldest first (none without one)."""
        if os.environ.get("VEXORIN_NOTIFICATION_SERVER") != "dunst":
            return None
        subprocess.run(["dunstctl", "close-all"], check=True)
        time.sleep(0.2)
        shown = json.loads(subprocess.run(["dunstctl", "history"], capture_output=True,
                                          check=True).stdout)["data"][0]
        return [(n["summary"]["data"], n["body"]["data"]) for n in reversed(shown)]

    def test_a_due_check_prints_and_notifies_what_moved(self):
        self.make_project()
        self.assertEqual(self.lines("--track"), [])  # nothing before it to move from
        runs = self.sql("SELECT id, ended, rows FROM runs WHERE project IS NOT NULL")
        self.assertEqual([r[1:] for r in runs], [("done", "3")])
        self.lines("--track")  # not due again yet: not checked
        self.assertEqual(len(self.sql("SELECT id FROM runs")), 1)
        # A day later: alpha leaves the top 10, beta moves one place (too
        # little to tell), gamma appears at 3.
        self.ranks({"alpha": 12, "beta": 14, "gamma": 3})
        self.sql("UPDATE projects SET last_check = last_check - 86400")
        r = self.tool("--track")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.decode().splitlines(), ["gamma\t-\t3", "alpha\t2\t12"])
        self.assertIn("vexorin-research: shop: 2 terms moved\n", r.stderr.decode())
        self.assertEqual(self.lines("--track-list")[1:],
                         ["shop\talpha\t12\tbest 2", "shop\tbeta\t14\tbest 14",
                          "shop\tgamma\t3\tbest 3"])
        shown = self.notifications()
        if shown is not None:
            self.assertEqual(shown, [("shop: 2 terms moved",
                                      "gamma: not ranked \u2192 3\nalpha: 2 \u2192 12")])
        # --track NAME checks now, due or not.
        self.assertEqual(self.lines("--track", "shop"), [])
        self.assertEqual(len(self.sql("SELECT id FROM runs WHERE project IS NOT NULL")), 3)

    def test_two_checks_never_run_at_once(self):
        self.make_project()
        if PG:
            # Another machine's check: the server holds its lock. Held
            # shared, so only a check that takes it whole is kept out: one
            # that took it shared would run beside it.
            held = subprocess.Popen(["psql", PG, "-qc", "SELECT pg_advisory_lock_shared(7420152)",
                                     "-c", "SELECT pg_sleep(30)"], env=self.env,
                                    stdout=subprocess.DEVNULL)
            try:
                deadline = time.monotonic() + 10
                while time.monotonic() < deadline and not self.sql(
                        "SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND granted"):
                    time.sleep(0.05)
                r = self.tool("--track")
            finally:
                held.kill()
                held.wait()
        else:
            with open(self.history + ".check-lock", "a") as held:
                fcntl.flock(held, fcntl.LOCK_SH)
                r = self.tool("--track")
        self.assertEqual((r.returncode, r.stdout), (0, b""))
        self.assertEqual(r.stderr, b"vexorin-research: another check is running; "
                                   b"this one leaves it to finish\n")
        self.assertEqual(self.sql("SELECT count(*) FROM runs"), [("0",)])

    def test_a_stopped_check_keeps_the_terms_it_finished(self):
        self.make_project()
        self.stub.routes[RANK.format("gamma")] = stall
        p = subprocess.Popen([TOOL, "--track", "--parallel", "1"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=self.env)
        deadline = time.monotonic() + 10 * SLOWER
        while RANK.format("gamma") not in self.stub.targets() and time.monotonic() < deadline:
            time.sleep(0.02)
        p.send_signal(signal.SIGTERM)
        _, err = p.communicate(timeout=10)
        self.assertEqual(p.returncode, 143, err)
        self.assertIn(b"shop: 2 of 3 terms checked, stopped; it is checked again next time",
                      err)
        self.assertEqual(self.sql("SELECT ended, rows FROM runs"), [("stopped", "2")])
        self.assertEqual(self.sql("SELECT term, rank FROM rows ORDER BY position"),
                         [("alpha", "2"), ("beta", "15")])
        self.assertEqual(self.lines("--track-list")[0], "shop\tmysite.com\t3 terms\tdue now")


if __name__ == "__main__":
    unittest.main(verbosity=1)
