#include "history/history_store.h"
#include "history/pg_history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "core/text.h"
#include "history/database.h"
#include "history/statement.h"
#include "run_fixtures.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

using vx::testing::MakeRun;
using vx::testing::Rows;

TEST(HistoryStore, RecordsRunsWithTheirRowsAndForgetsThem) {
    vx::testing::TempDir dir;
    HistoryStore store(dir.File("h/history.sqlite3"), HistoryStore::Use::Write);
    EXPECT_EQ(store.Record(MakeRun("2026-12-07T13:25:00Z", "empty"), {}), 0);  // no rows: no run
    const auto first = Rows({{"red shoes", "4512", "12345", "2.736", "23", "49.911%", "2252"},
                             {"off", "1,200", "?", "?", "-", "?", "?"}});
    HistoryRun stopped = MakeRun("2026-12-07T13:25:00Z", "shoes");
    stopped.ended = kEndedStopped;
    const int64_t a = store.Record(stopped, first);
    const int64_t b =
        store.Record(MakeRun("2026-12-08T09:00:00Z", "Red"),
                     Rows({{"Red Shoes", "4600", "12000", "2.6", "3", "99%", "4500"}}));
    ASSERT_GT(a, 0);
    ASSERT_GT(b, a);
    const std::vector<HistoryRun> runs = store.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].id, a);
    EXPECT_EQ(runs[0].started, "2026-12-07T13:25:00Z");
    EXPECT_EQ(runs[0].seed, "shoes");
    EXPECT_EQ(runs[0].site, "mysite.com");
    EXPECT_EQ(runs[0].rows, 2);
    EXPECT_EQ(runs[0].parallel, 4);
    EXPECT_EQ(runs[0].retries, 2);
    EXPECT_EQ(runs[0].ended, "stopped");

    ResultsTable table;
    ASSERT_TRUE(store.Load(a, table));
    ASSERT_EQ(table.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(table.At(i).KeyTerm(), first[i].KeyTerm());
        EXPECT_EQ(table.At(i).Columns(), first[i].Columns());
        EXPECT_EQ(table.At(i).checked, first[i].checked);
    }
    EXPECT_FALSE(store.Load(999, table));
    EXPECT_EQ(table.Count(), 2);

    // A term's trend, matched without regard to case, oldest first.
    const auto trend = store.TermHistory("RED SHOES");
    ASSERT_EQ(trend.size(), 2u);
    EXPECT_EQ(trend[0].run, a);
    EXPECT_EQ(trend[0].texts[3], "23");
    EXPECT_EQ(trend[1].started, "2026-12-08T09:00:00Z");
    EXPECT_EQ(trend[1].texts[3], "3");

    // A term twice in one run counts once, with its first row.
    const int64_t twice = store.Record(MakeRun("2026-12-09T09:00:00Z", "twice"),
                                       Rows({{"red shoes", "1", "2", "3", "7", "5%", "6"},
                                             {"RED SHOES", "1", "2", "3", "8", "5%", "6"}}));
    ASSERT_EQ(store.TermHistory("red shoes").size(), 3u);
    EXPECT_EQ(store.TermHistory("red shoes")[2].texts[3], "7");
    EXPECT_TRUE(store.Delete(twice));

    // Deleting a run takes its rows with it.
    EXPECT_TRUE(store.Delete(a));
    EXPECT_FALSE(store.Delete(a));
    EXPECT_EQ(store.TermHistory("red shoes").size(), 1u);
    {
        Database db(dir.File("h/history.sqlite3"), false);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db.Handle(), "SELECT count(*) FROM rows", -1, &q, nullptr);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(q, 0), 1);
        sqlite3_finalize(q);
    }
    store.Clear();
    EXPECT_TRUE(store.Runs().empty());
    EXPECT_TRUE(store.TermHistory("red shoes").empty());
}

// The file is the user's alone, its schema versioned, and two writers at
// once (the window and the headless tool) both get their runs in.
TEST(HistoryStore, PrivateVersionedAndSharedByTwoWriters) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("vexorin/history.sqlite3");
    { HistoryStore store(path, HistoryStore::Use::Write); }
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("vexorin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        Database db(path, false);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db.Handle(), "PRAGMA user_version", -1, &q, nullptr);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(q, 0), HistoryStore::kSchemaVersion);
        sqlite3_finalize(q);
        sqlite3_prepare_v2(db.Handle(), "PRAGMA journal_mode", -1, &q, nullptr);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)), "wal");
        sqlite3_finalize(q);
    }
    auto write = [&](const std::string& seed) {
        HistoryStore store(path, HistoryStore::Use::Write);
        for (int i = 0; i < 25; ++i)
            store.Record(MakeRun("2026-12-07T10:00:00Z", seed),
                         Rows({{"t", "1", "2", "3", "4", "5%", "6"}}));
    };
    std::thread one(write, "one"), two(write, "two");
    one.join();
    two.join();
    EXPECT_EQ(HistoryStore(path).Runs().size(), 50u);

    // A history a newer version wrote is left alone.
    Database(path, false).Execute("PRAGMA user_version = 99");
    EXPECT_THROW(HistoryStore{path}, HistoryError);
}

// A file that is no database, or one damaged inside, is renamed aside with
// its bytes as they were, and a new history takes the run.
TEST(HistoryStore, ADamagedHistoryIsKeptAsideAndANewOneStarted) {
    for (const bool inside : {false, true}) {
        vx::testing::TempDir dir;
        const std::string path = dir.File("history.sqlite3");
        if (inside) {
            {
                HistoryStore store(path, HistoryStore::Use::Write);
                for (int i = 0; i < 40; ++i)
                    store.Record(
                        MakeRun("2026-12-07T10:00:00Z", "s"),
                        Rows({{"term " + std::to_string(i), "1", "2", "3", "4", "5%", "6"}}));
            }
            // The whole file is checked once a day: the last check a day ago.
            Database(path, false)
                .Execute(("UPDATE meta SET value = value - " +
                          std::to_string(HistoryStore::kCheckEverySeconds))
                             .c_str());
            std::FILE* f = std::fopen(path.c_str(), "r+b");
            ASSERT_NE(f, nullptr);
            // Every page after the first, free ones among them.
            std::fseek(f, 0, SEEK_END);
            const long size = std::ftell(f);
            std::fseek(f, 4096, SEEK_SET);
            std::fwrite(std::string(size - 4096, '\x5A').data(), 1, size - 4096, f);
            std::fclose(f);
        } else {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            std::fputs(std::string(5000, 'x').c_str(), f);
            std::fclose(f);
        }
        std::ifstream before(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(before)), {});
        HistoryStore store(path, HistoryStore::Use::Write);
        ASSERT_FALSE(store.SetAside().empty()) << inside;
        EXPECT_NE(store.SetAside().find(".corrupt-"), std::string::npos);
        std::ifstream aside(store.SetAside(), std::ios::binary);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(aside)), {}), bytes) << inside;
        EXPECT_GT(store.Record(MakeRun("2026-12-08T10:00:00Z", "new"),
                               Rows({{"t", "1", "2", "3", "4", "5%", "6"}})),
                  0);
        EXPECT_EQ(store.Runs().size(), 1u);
    }
}

// An older schema is brought up to date in place; what else the file holds
// stays.
TEST(HistoryStore, AnOlderSchemaIsUpgraded) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    Database(path, true).Execute("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('x');");
    HistoryStore store(path, HistoryStore::Use::Write);
    EXPECT_TRUE(store.Runs().empty());
    Database db(path, false);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db.Handle(),
                       "SELECT (SELECT count(*) FROM notes), user_version FROM pragma_user_version",
                       -1, &q, nullptr);
    ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(q, 0), 1);
    EXPECT_EQ(sqlite3_column_int(q, 1), HistoryStore::kSchemaVersion);
    sqlite3_finalize(q);
}

// Forks n processes that each run work, and waits for them; the count of
// those that exited 0.
int InProcesses(int n, const std::function<bool(int)>& work) {
    std::vector<pid_t> children;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            bool ok = false;
            try {
                ok = work(i);
            } catch (...) {
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    int fine = 0;
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        fine += WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return fine;
}

const std::vector<ResultRow> kOneRow = Rows({{"t", "1", "2", "3", "4", "5%", "6"}});

// The window holds a writer connection and opens the history to read it;
// another process writes and reads meanwhile. Every run of both stays in
// the file: nothing of ours may drop the writer's locks, or the other
// process deletes the write-ahead log the window still writes.
TEST(HistoryStore, AWriterKeepsItsLocksWhileTheProcessReads) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    HistoryStore writer(path, HistoryStore::Use::Write);
    writer.Record(MakeRun("2026-12-07T10:00:00Z", "window"), kOneRow);
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(HistoryStore(path).Runs().empty());
        EXPECT_EQ(InProcesses(1,
                              [&](int) {
                                  HistoryStore other(path, HistoryStore::Use::Write);
                                  other.Record(MakeRun("2026-12-07T11:00:00Z", "tool"), kOneRow);
                                  return !HistoryStore(path).Runs().empty();
                              }),
                  1);
        writer.Record(MakeRun("2026-12-07T12:00:00Z", "window"), kOneRow);
    }
    // Seen from another process while the window still writes.
    EXPECT_EQ(InProcesses(1, [&](int) { return HistoryStore(path).Runs().size() == 7u; }), 1);
}

// Several processes making a new history at once all record their runs.
TEST(HistoryStore, ConcurrentFirstUseLosesNothing) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("new/history.sqlite3");
    EXPECT_EQ(InProcesses(8,
                          [&](int i) {
                              HistoryStore store(path, HistoryStore::Use::Write);
                              for (int k = 0; k < 5; ++k)
                                  if (store.Record(
                                          MakeRun("2026-12-07T10:00:00Z", "p" + std::to_string(i)),
                                          kOneRow) <= 0)
                                      return false;
                              return true;
                          }),
              8);
    EXPECT_EQ(HistoryStore(path).Runs().size(), 40u);
}

// The first schema, as a past version made it, with one run of one row.
void MakeFirstSchema(Database& db) {
    db.Execute(
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, started TEXT NOT NULL, seed TEXT NOT "
        "NULL, site TEXT NOT NULL, depth TEXT NOT NULL, rows INTEGER NOT NULL, parallel "
        "INTEGER NOT NULL, retries INTEGER NOT NULL, ended TEXT NOT NULL); CREATE TABLE rows "
        "(run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE, position INTEGER NOT "
        "NULL, term TEXT NOT NULL, demand TEXT, competition TEXT, cost TEXT, rank TEXT, "
        "profitability TEXT, prospects TEXT, checked INTEGER NOT NULL, demand_n INTEGER, "
        "competition_n INTEGER, rank_n INTEGER, PRIMARY KEY (run, position)) WITHOUT ROWID; "
        "CREATE INDEX rows_by_term ON rows(lower(term)); INSERT INTO runs VALUES "
        "(1,'2026-12-01T10:00:00Z','s','x','3',1,1,0,'done'); INSERT INTO rows VALUES "
        "(1,1,'Red','1','2','3','4','5%','6',1,1,2,4); PRAGMA user_version = 1;");
}

// A run's top results come back with its rows and go with it; a history
// made before they were kept is read as it stands and upgraded in place.
TEST(HistoryStore, TopResultsAreKeptWithTheirRows) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    {
        Database db(path, true);
        MakeFirstSchema(db);
    }
    ResultsTable table;
    ASSERT_TRUE(HistoryStore(path).Load(1, table));
    EXPECT_TRUE(table.At(0).Top().empty());

    HistoryStore store(path, HistoryStore::Use::Write);
    auto rows = Rows({{"a", "1", "2", "3", "4", "5%", "6"},
                      {"b", "1", "2", "3", "?", "?", "?"},
                      {"c", "1", "2", "3", "4", "5%", "6"}});
    rows[0].SetTop(TopResultsOf({"https://one.example/", "/rel", "https://www.two.example/p"}));
    rows[2].SetTop(TopResultsOf({"https://three.example/"}));
    const int64_t id = store.Record(MakeRun("2026-12-07T10:00:00Z", "s"), rows);
    ASSERT_TRUE(store.Load(1, table));
    EXPECT_EQ(table.At(0).KeyTerm(), "Red");
    ASSERT_TRUE(store.Load(id, table));
    ASSERT_EQ(table.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(table.At(i).Top(), rows[static_cast<size_t>(i)].Top());
    ASSERT_EQ(table.At(0).Top().size(), 2u);
    EXPECT_EQ(table.At(0).Top()[1].position, 3);

    ASSERT_TRUE(store.Delete(id));
    Database db(path, false);
    Statement left(db, "SELECT count(*) FROM top_results");
    ASSERT_TRUE(left.Step());
    EXPECT_EQ(left.Integer(0), 0);
}

// Reading never writes: no folder or file is made for a history that is
// not there, an older schema is read as it is, and a newer version's file
// is left byte for byte, whoever opens it.
TEST(HistoryStore, ReadsNeverWrite) {
    vx::testing::TempDir dir;
    const std::string missing = dir.File("none/history.sqlite3");
    EXPECT_TRUE(HistoryStore(missing).Runs().empty());
    EXPECT_TRUE(HistoryStore(missing).TermHistory("x").empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("none")));

    const std::string old = dir.File("old.sqlite3");
    {
        Database db(old, true);
        db.Execute("PRAGMA journal_mode = WAL");
        MakeFirstSchema(db);
    }
    ASSERT_EQ(HistoryStore(old).TermHistory("RED").size(), 1u);
    Database oldDb(old, false);
    Statement version(oldDb, "PRAGMA user_version");
    ASSERT_TRUE(version.Step());
    EXPECT_EQ(version.Integer(0), 1);

    const std::string newer = dir.File("newer.sqlite3");
    {
        HistoryStore store(newer, HistoryStore::Use::Write);
        store.Record(MakeRun("2026-12-07T10:00:00Z", "s"), kOneRow);
        Database(newer, false).Execute("PRAGMA user_version = 99");
    }
    // The file itself (SQLite makes its log and shared memory to read it).
    const auto bytes = [&] { return vx::testing::ReadFile(newer); };
    const std::string before = bytes();
    EXPECT_THROW(HistoryStore{newer}, HistoryError);
    EXPECT_THROW(HistoryStore(newer, HistoryStore::Use::Write), HistoryError);
    EXPECT_TRUE(bytes() == before);
}

// A run deleted outside Vexorin (foreign keys off, its rows left behind)
// never stops recording, and no run id is used twice.
TEST(HistoryStore, RunIdsAreNeverReused) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    HistoryStore store(path, HistoryStore::Use::Write);
    store.Record(MakeRun("2026-12-07T10:00:00Z", "a"), kOneRow);
    const int64_t last = store.Record(MakeRun("2026-12-07T11:00:00Z", "b"), kOneRow);
    Database(path, false).Execute(("DELETE FROM runs WHERE id = " + std::to_string(last)).c_str());
    const int64_t next = store.Record(MakeRun("2026-12-07T12:00:00Z", "c"), kOneRow);
    EXPECT_GT(next, last);
    EXPECT_GT(store.Record(MakeRun("2026-12-07T13:00:00Z", "d"), kOneRow), next);
}

// Terms match as users read them, in every script; the figures are kept as
// numbers too, whatever decimal separator showed them.
TEST(HistoryStore, TermsMatchInEveryScriptAndFiguresAreNumbers) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    HistoryStore store(path, HistoryStore::Use::Write);
    HistoryRun comma = MakeRun("2026-12-07T10:00:00Z", "a");
    comma.decimalSeparator = ',';
    store.Record(comma, Rows({{"Äpfel", "1.200", "12345", "2,736", "23", "49,911%", "2252"}}));
    store.Record(MakeRun("2026-12-08T10:00:00Z", "b"),
                 Rows({{"ÄPFEL", "1,200", "12000", "3.5", "3", "?", "?"},
                       {"Σοφία", "1", "2", "3", "4", "5%", "6"}}));
    EXPECT_EQ(store.TermHistory("äPFEL").size(), 2u);
    EXPECT_EQ(store.TermHistory("ΣΟΦΊΑ").size(), 1u);
    Database db(path, false);
    Statement q(db,
                "SELECT avg(cost_n), sum(profitability_n), count(prospects_n) FROM rows "
                "WHERE coalesce(term_key, term) = ?");
    q.Bind(1, FoldCase("äpfel"));
    ASSERT_TRUE(q.Step());
    EXPECT_DOUBLE_EQ(q.Real(0), (2.736 + 3.5) / 2);
    EXPECT_DOUBLE_EQ(q.Real(1), 49.911);
    EXPECT_EQ(q.Integer(2), 1);
}

// A damaged history goes aside under a name no file had, only by a writer
// and never while another connection of this process has it open; a
// reader says where the damage is and leaves the file where it is.
TEST(HistoryStore, ADamagedHistoryIsNeverLost) {
    vx::testing::TempDir dir;
    const std::string path = dir.File("history.sqlite3");
    const std::string damaged(5000, 'x');
    vx::testing::WriteFile(path, damaged);
    try {
        HistoryStore(path).Runs();
        ADD_FAILURE() << "a damaged history read without a word";
    } catch (const HistoryCorrupt& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(vx::testing::ReadFile(path), damaged);

    // Copies kept before, under the names this second and the next would
    // give, stay as they are.
    std::vector<std::string> kept;
    for (const std::time_t t : {std::time(nullptr), std::time(nullptr) + 1}) {
        std::string name = path + ".corrupt-";
        for (const char c : IsoUtc(t))
            if (c != '-' && c != ':') name += c;
        vx::testing::WriteFile(name, "kept before");
        kept.push_back(name);
    }
    HistoryStore store(path, HistoryStore::Use::Write);
    ASSERT_FALSE(store.SetAside().empty());
    EXPECT_EQ(vx::testing::ReadFile(store.SetAside()), damaged);
    for (const std::string& k : kept) EXPECT_EQ(vx::testing::ReadFile(k), "kept before");
}

// A history reached through a symbolic link of the user's own is used.
TEST(HistoryStore, ASymbolicLinkOfTheUsersOwnIsFollowed) {
    vx::testing::TempDir dir;
    const std::string real = dir.File("real.sqlite3"), link = dir.File("history.sqlite3");
    { HistoryStore(real, HistoryStore::Use::Write); }
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    HistoryStore(link, HistoryStore::Use::Write)
        .Record(MakeRun("2026-12-07T10:00:00Z", "s"), kOneRow);
    EXPECT_EQ(HistoryStore(real).Runs().size(), 1u);
}

TEST(HistoryStore, TimesAreIsoUtc) {
    EXPECT_EQ(IsoUtc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoUtc(1796649900), "2026-12-07T13:25:00Z");
}

// A shared history's password never shows: not in the URL kept for a
// waiting run, not in what libpq says of a URL it cannot read or reach.
TEST(SharedHistoryUrl, ThePasswordNeverShows) {
    struct Case {
        const char *url, *kept;
    } cases[] = {
        {"postgresql://ann:made-up@db:5433/team", "postgresql://ann@db:5433/team"},
        {"postgresql://ann@db/team?password=made-up&sslmode=require",
         "postgresql://ann@db/team?sslmode=require"},
        {"postgresql://ann@db/team?password=made-up", "postgresql://ann@db/team"},
    };
    for (const Case& c : cases) EXPECT_EQ(HistoryUrlWithoutPassword(c.url), c.kept) << c.url;
    EXPECT_EQ(HistoryDestination("postgresql://ann@DB/team"),
              HistoryDestination("postgres://bob:x@db:5432/team?sslmode=require"));
    for (const char* url : {"postgresql://ann:made-up-pw@[bad/x",
                            "postgresql://ann@127.0.0.1:1/x?password=made-up-pw"}) {
        try {
            PgHistoryStore store(url, PgHistoryStore::Use::Read);
            ADD_FAILURE() << url;
        } catch (const HistoryError& e) {
            EXPECT_EQ(std::string(e.what()).find("made-up-pw"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace vx
