#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "history/database.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

std::vector<ResultRow> Rows(std::initializer_list<std::vector<std::string>> rows) {
    std::vector<ResultRow> out;
    for (const auto& r : rows)
        out.emplace_back(r[0], std::vector<std::string>(r.begin() + 1, r.end()), r[0] != "off");
    return out;
}

HistoryRun MakeRun(const std::string& started, const std::string& seed) {
    HistoryRun run;
    run.started = started;
    run.seed = seed;
    run.site = "mysite.com";
    run.depth = "5";
    run.parallel = 4;
    run.retries = 2;
    return run;
}

TEST(HistoryStore, RecordsRunsWithTheirRowsAndForgetsThem) {
    vx::testing::TempDir dir;
    HistoryStore store(dir.File("h/history.sqlite3"));
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
    { HistoryStore store(path); }
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
        HistoryStore store(path);
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
                HistoryStore store(path);
                for (int i = 0; i < 40; ++i)
                    store.Record(
                        MakeRun("2026-12-07T10:00:00Z", "s"),
                        Rows({{"term " + std::to_string(i), "1", "2", "3", "4", "5%", "6"}}));
            }
            std::FILE* f = std::fopen(path.c_str(), "r+b");
            ASSERT_NE(f, nullptr);
            std::fseek(f, 4096 + 100, SEEK_SET);
            std::fwrite(std::string(2000, '\x5A').data(), 1, 2000, f);
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
    HistoryStore store(path);
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

TEST(HistoryStore, TimesAreIsoUtc) {
    EXPECT_EQ(IsoUtc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoUtc(1796649900), "2026-12-07T13:25:00Z");
}

}  // namespace
}  // namespace vx
