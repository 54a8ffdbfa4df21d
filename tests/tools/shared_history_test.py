#!/usr/bin/env python3
"""A team's history on PostgreSQL through the real tool, against the private
server with_postgres.sh starts: eight writers at once, a server that goes
away and comes back, copies made twice, and one true message for each
fault with the run kept on this computer."""
import os
import sqlite3
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from httpstub import Stub, ok  # noqa: E402

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "vexorin-research"
URL = os.environ["VEXORIN_TEST_PG_URL"]
LIMITED = os.environ["VEXORIN_TEST_PG_LIMITED"]
CTL = os.environ["VEXORIN_TEST_PG_CTL"]
BKI = "[item0]\nkeyterm=red shoes\ndemand=10\ncompetition=100\ncost=10\nrank=3\n" \
      "profitability=99%\nestimation=9\ncheck=1\n"


class SharedHistory(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.TemporaryDirectory()
        self.env = dict(os.environ, LC_ALL="C", XDG_DATA_HOME=self.home.name + "/data",
                        XDG_CONFIG_HOME=self.home.name + "/config")
        self.bki = self.home.name + "/run.bki"
        with open(self.bki, "w") as f:
            f.write(BKI)
        self.tool("--history-db", URL, "--history")  # made, if it was not
        self.shared_runs_before = self.shared_count()

    def tearDown(self):
        subprocess.run([CTL, "start"], capture_output=True)
        self.home.cleanup()

    def tool(self, *args, env=None):
        return subprocess.run([TOOL, *args], capture_output=True, timeout=60,
                              env=dict(self.env, **(env or {})))

    def record(self, *where):
        return subprocess.Popen([TOOL, *where, "--record", self.bki, "--keyword", "shoes",
                                 "--site", "mysite.com"], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def shared_count(self):
        r = self.tool("--history-db", URL, "--history")
        self.assertEqual(r.returncode, 0, r.stderr)
        return len(r.stdout.decode().splitlines())

    def local_waiting(self):
        path = self.home.name + "/data/vexorin/history.sqlite3"
        if not os.path.exists(path):
            return 0
        with sqlite3.connect(path) as db:
            return db.execute("SELECT count(*) FROM runs WHERE pending = 1").fetchone()[0]

    def test_eight_writers_at_once_lose_nothing(self):
        # Onto a database without the history: they make it at once too.
        subprocess.run(["psql", URL, "-qc", "DROP TABLE IF EXISTS top_results, rows, runs, "
                        "tracked_terms, projects, vexorin_meta CASCADE"], check=True,
                       env=self.env, capture_output=True)
        writers = [self.record("--history-db", URL) for _ in range(8)]
        for w in writers:
            out, err = w.communicate(timeout=60)
            self.assertEqual((w.returncode, err), (0, b""))
        self.assertEqual(self.shared_count(), 8)
        # All went to the server: nothing was made on this computer.
        self.assertFalse(os.path.exists(self.home.name + "/data/vexorin/history.sqlite3"))

    def test_a_server_that_went_away_gets_every_run_once(self):
        subprocess.run([CTL, "stop"], check=True)
        for _ in range(2):
            p = self.record("--history-db", URL)
            out, err = p.communicate(timeout=60)
            self.assertEqual(p.returncode, 0, err)
            self.assertRegex(err.decode(), r"^vexorin-research: the shared history "
                             r"postgresql://vexorin@127\.0\.0\.1:\d+/vexorin cannot be reached: "
                             r".*; the run is kept on this computer and sent by --history-sync "
                             r"or the next run once it can be\n$")
        self.assertEqual(self.local_waiting(), 2)
        r = self.tool("--history-db", URL, "--history-sync")
        self.assertEqual(r.returncode, 1)
        subprocess.run([CTL, "start"], check=True)
        # The next run that reaches it takes the waiting ones along.
        p = self.record("--history-db", URL)
        self.assertEqual((p.communicate(timeout=60)[1], p.returncode), (b"", 0))
        self.assertEqual(self.local_waiting(), 0)
        for _ in range(2):  # however often it is tried
            r = self.tool("--history-db", URL, "--history-sync")
            self.assertEqual((r.returncode, r.stdout), (0, b"0 runs sent\n"), r.stderr)
        self.assertEqual(self.shared_count(), self.shared_runs_before + 3)

    def test_a_personal_history_is_copied_once(self):
        local = self.home.name + "/mine.sqlite3"
        for _ in range(3):
            p = self.record("--history-db", local)
            _, err = p.communicate(timeout=60)
            self.assertEqual((p.returncode, err), (0, b""))
        r = self.tool("--history-copy", local, URL)
        self.assertEqual((r.returncode, r.stdout), (0, b"3 runs copied\n"), r.stderr)
        r = self.tool("--history-copy", local, URL)
        self.assertEqual((r.returncode, r.stdout), (0, b"0 runs copied\n"), r.stderr)
        r = self.tool("--history-copy", local + ".typo", URL)
        self.assertEqual((r.returncode, r.stderr.decode()),
                         (1, f"vexorin-research: cannot read {local}.typo: "
                             "No such file or directory\n"))
        self.assertEqual(self.shared_count(), self.shared_runs_before + 3)

    def test_each_fault_says_one_true_thing_and_keeps_the_run(self):
        port = URL.rsplit(":", 1)[1].split("/")[0]
        cases = [
            (f"postgresql://nobody@127.0.0.1:{port}/vexorin", {},
             'refused: .*password authentication failed for user "nobody"'),
            (URL, {"PGPASSWORD": "not-the-made-up-password"},
             'refused: .*password authentication failed for user "vexorin"'),
            (URL.replace("vexorin@", "vexorin:made-up-wrong@", 1), {},
             'refused: .*password authentication failed for user "vexorin"'),
            (f"postgresql://vexorin@127.0.0.1:{port}/nothere", {},
             'refused: .*database "nothere" does not exist'),
            (LIMITED, {}, r"the database user may not make the history's tables "
                          r"\(permission denied for schema public\)"),
            ("postgresql://[bad", {}, r"the shared history URL postgresql://\[bad is not one "
                                      r"libpq reads: "),
        ]
        routes = {"/search?p=%22red+shoes%22": ok("of about <b>100</b>"),
                  "/search?p=%22red+shoes%22&ei=UTF-8&n=20&fl=0&b=1":
                      ok("of about <b>100</b><ol><li><a href=http://a.example/>a</a></li></ol>")}
        stub = Stub(routes)
        terms = self.home.name + "/terms.txt"
        with open(terms, "w") as f:
            f.write("red shoes\n")
        try:
            for waiting, (url, env, said) in enumerate(cases, start=1):
                r = self.tool("--history-db", url, "--import", terms, "--site", "mysite.com",
                              "--depth", "1", env=dict(env, VEXORIN_SUGGEST_HOST=stub.host(),
                                                       VEXORIN_SEARCH_HOST=stub.host()))
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(len(r.stdout.decode().splitlines()), 1)  # the rows, printed
                lines = r.stderr.decode().splitlines()
                # A password on the command line is taken, with a warning.
                warned = "warning: the password in --history-db's URL can be read by any user"
                self.assertEqual(warned in lines[0], "made-up-wrong" in url, lines)
                lines = [line for line in lines if warned not in line]
                self.assertEqual(len(lines), 1, lines)
                self.assertRegex(lines[0], said)
                self.assertNotIn("made-up", lines[0])
                self.assertEqual(self.local_waiting(), waiting)
        finally:
            stub.close()
        # A newer Vexorin's history is left as it is.
        subprocess.run(["psql", URL, "-qc", "UPDATE vexorin_meta SET value = '99' "
                        "WHERE key = 'schema'"], check=True, env=self.env)
        try:
            p = self.record("--history-db", URL)
            _, err = p.communicate(timeout=60)
            self.assertIn(b"written by a newer Vexorin (schema 99)", err)
        finally:
            subprocess.run(["psql", URL, "-qc", "UPDATE vexorin_meta SET value = '1' "
                            "WHERE key = 'schema'"], check=True, env=self.env)

    def test_a_held_lock_keeps_the_run_here_in_bounded_time(self):
        """Another session holds the runs table: a research waits no longer
        than the bound, is kept on this computer with the reason, and is sent
        once the lock is gone."""
        import time
        self.assertEqual(self.record("--history-db", URL).wait(60), 0)  # the tables made
        routes = {"/search?p=%22red+shoes%22": ok("of about <b>100</b>"),
                  "/search?p=%22red+shoes%22&ei=UTF-8&n=20&fl=0&b=1": ok("of about <b>100</b>")}
        stub = Stub(routes)
        terms = self.home.name + "/terms.txt"
        with open(terms, "w") as f:
            f.write("red shoes\n")
        holder = subprocess.Popen(["psql", URL, "-q"], stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.env)
        try:
            holder.stdin.write(b"BEGIN; LOCK TABLE runs IN ACCESS EXCLUSIVE MODE; "
                               b"SELECT pg_sleep(60);\n")
            holder.stdin.flush()
            time.sleep(1)
            start = time.monotonic()
            r = self.tool("--history-db", URL, "--import", terms, "--site", "mysite.com",
                          "--depth", "1", env={"VEXORIN_SUGGEST_HOST": stub.host(),
                                               "VEXORIN_SEARCH_HOST": stub.host(),
                                               "VEXORIN_HISTORY_WAIT_MS": "3000"})
            took = time.monotonic() - start
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(b"lock timeout", r.stderr)
            self.assertIn(b"kept on this computer", r.stderr)
            self.assertLess(took, 15)
            self.assertEqual(self.local_waiting(), 1)
        finally:
            stub.close()
            subprocess.run(["psql", URL, "-qc", "SELECT pg_terminate_backend(pid) FROM "
                            "pg_stat_activity WHERE query LIKE '%pg_sleep(60)%' "
                            "AND pid <> pg_backend_pid()"], env=self.env, capture_output=True)
            holder.kill()
            holder.wait()
        r = self.tool("--history-db", URL, "--history-sync")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.local_waiting(), 0)

    def research(self, url, term_bytes, stub_routes=None):
        """A research of one suggested term recorded in the shared history at url."""
        page = b"searches done <td>&nbsp;10</td><td><a>" + term_bytes + b"</a></td>"
        routes = {"/d/searchinventory/suggestion/?term=s&mkt=us&lang=en_US": ok(page)}
        stub = Stub(routes, default=ok("of about <b>100</b>"))
        try:
            return self.tool("--history-db", url, "--keyword", "s", "--site", "mysite.com",
                             "--depth", "1", env={"VEXORIN_SUGGEST_HOST": stub.host(),
                                                  "VEXORIN_SEARCH_HOST": stub.host()})
        finally:
            stub.close()

    def test_waiting_runs_go_only_where_they_were_meant(self):
        """A run kept while shared history A was away is never sent to B."""
        away = "postgresql://vexorin@127.0.0.1:1/elsewhere"
        r = self.research(away, b"red shoes")
        self.assertIn(b"kept on this computer", r.stderr)
        self.assertEqual(self.local_waiting(), 1)
        before = self.shared_count()
        r = self.research(URL, b"blue shoes")
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(self.shared_count(), before + 1)
        self.assertEqual(self.local_waiting(), 1)
        r = self.tool("--history-db", URL, "--history-sync")
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(b"127.0.0.1:1/elsewhere cannot be reached", r.stderr)
        self.assertEqual(self.shared_count(), before + 1)
        self.assertEqual(self.local_waiting(), 1)

    def test_a_refused_run_is_set_aside_and_the_rest_go(self):
        """Runs kept while the server was away: a Latin-1 term and a 3 KB
        term fit; one the server refuses for a lasting reason (here a rule a
        database administrator added) is set aside with the reason, and the
        rest are sent."""
        self.research(URL, b"made")  # the tables
        subprocess.run(["psql", URL, "-qc", "ALTER TABLE rows ADD CONSTRAINT no_poison "
                        "CHECK (term <> 'poison')"], check=True, env=self.env)
        try:
            before = self.shared_count()
            subprocess.run([CTL, "stop"], check=True)
            for term in (b"caf\xe9", b"poison", b"x" * 3000, b"green shoes"):
                self.assertIn(b"kept on this computer", self.research(URL, term).stderr)
            subprocess.run([CTL, "start"], check=True)
            self.assertEqual(self.local_waiting(), 4)
            r = self.tool("--history-db", URL, "--history-sync")
            self.assertEqual(r.returncode, 1, r.stderr)
            lines = r.stderr.decode().splitlines()
            self.assertEqual(len([l for l in lines if "set aside" in l and "no_poison" in l]), 1,
                             lines)
            self.assertEqual(r.stdout, b"3 runs sent\n")
            self.assertEqual(self.shared_count(), before + 3)
            self.assertEqual(self.local_waiting(), 1)
        finally:
            subprocess.run(["psql", URL, "-qc", "ALTER TABLE rows DROP CONSTRAINT no_poison"],
                           env=self.env, capture_output=True)

    def test_the_rights_file_as_written_lets_its_members_record(self):
        """docs/sql/postgres-rights.sql run as it stands: a team member makes
        the tables, a member with row rights alone records after."""
        sock, port = os.environ["VEXORIN_TEST_PG_ADMIN"].rsplit(":", 1)
        rights = os.path.join(os.path.dirname(__file__), "../../docs/sql/postgres-rights.sql")
        admin = ["psql", "-h", sock, "-p", port, "-U", "postgres", "-v", "ON_ERROR_STOP=1", "-q"]
        if os.getuid() == 0:
            admin = ["runuser", "-u", "postgres", "--"] + admin
        with open(rights, "rb") as f:
            subprocess.run(admin + ["-d", "postgres"], input=f.read(), check=True,
                           capture_output=True)
        password = os.environ["PGPASSWORD"]
        subprocess.run(admin + ["-d", "postgres", "-c", f"ALTER ROLE ann PASSWORD '{password}'",
                                "-c", f"ALTER ROLE recorder PASSWORD '{password}'"],
                       check=True, capture_output=True)
        for user in ("ann", "recorder"):
            p = self.record("--history-db", f"postgresql://{user}@127.0.0.1:{port}/team_history")
            _, err = p.communicate(timeout=60)
            self.assertEqual((p.returncode, err), (0, b""), user)
        self.assertEqual(self.local_waiting(), 0)

    def test_tracking_uses_the_history_preferences_chose(self):
        """Without --history-db, --track-* work on the shared history the
        window's Preferences chose, as the window's Tracking does."""
        folder = self.home.name + "/config/vexorin"
        os.makedirs(folder, exist_ok=True)
        with open(folder + "/settings.reg", "w") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Tarnwell\\Vexorin 1.0\\Setup]\n"
                    f'"history.url"="{URL}"\n')
        r = self.tool("--track-add", "prefs-project", "--site", "mysite.com", "red shoes")
        self.assertEqual(r.returncode, 0, r.stderr)
        listed = self.tool("--history-db", URL, "--track-list")
        self.assertIn(b"prefs-project\t", listed.stdout)

    def test_a_check_outlives_the_server_going_away(self):
        """The shared history stops during a tracking check: the check is
        kept on this computer, said, and sent with its project's best ranks
        once the server is back."""
        import time
        from httpstub import slow
        self.research(URL, b"made")  # the tables
        terms = ["red shoes", "blue shoes", "green shoes"]
        r = self.tool("--history-db", URL, "--track-add", "gone", "--site", "mysite.com",
                      "--depth", "1", *terms)
        self.assertEqual(r.returncode, 0, r.stderr)
        page = ok("of about <b>100</b><ol><li><a href=http://mysite.com/>a</a></li></ol>")
        stub = Stub({}, default=slow(page, 0.4))
        try:
            p = subprocess.Popen([TOOL, "--history-db", URL, "--track", "gone", "--parallel", "1"],
                                 env=dict(self.env, VEXORIN_SUGGEST_HOST=stub.host(),
                                          VEXORIN_SEARCH_HOST=stub.host()),
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            time.sleep(0.6)
            subprocess.run([CTL, "stop"], check=True)
            _, err = p.communicate(timeout=60)
        finally:
            stub.close()
            subprocess.run([CTL, "start"], check=True)
        self.assertIn(b"kept on this computer", err)
        self.assertEqual(self.local_waiting(), 1)
        r = self.tool("--history-db", URL, "--history-sync")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.local_waiting(), 0)
        listed = self.tool("--history-db", URL, "--track-list").stdout.decode()
        self.assertIn("gone\tred shoes\t1\tbest 1", listed)

    def test_the_kept_password_goes_to_its_own_server_alone(self):
        """The keyring's password is given to the server it was kept for; a
        URL naming another database fails before connecting, naming both."""
        from urllib.parse import urlsplit
        u = urlsplit(URL)
        subprocess.run(["secret-tool", "store", "--label=x", "xdg:schema", "org.vexorin.Secret",
                        "name", "history_password", "server",
                        f"{u.username}@{u.hostname}:{u.port}{u.path}"],
                       input=os.environ["PGPASSWORD"].encode(), check=True)
        self.env.pop("PGPASSWORD")
        r = self.tool("--history-db", URL, "--history")
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        r = self.tool("--history-db", URL[:URL.rindex("/")] + "/elsewhere", "--history")
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"history_password was not sent to {u.username}@{u.hostname}:{u.port}"
                      f"/elsewhere: it belongs to {u.username}@{u.hostname}:{u.port}{u.path}",
                      r.stderr.decode())


if __name__ == "__main__":
    unittest.main(verbosity=1)
