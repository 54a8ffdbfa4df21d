// One suite for every history back end: this computer's SQLite file and a
// team's PostgreSQL (the private server with_postgres.sh starts; skipped
// without one).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "history/history_choice.h"
#include "history/pg_history_store.h"
#include "history/project_store.h"
#include "run_fixtures.h"
#include "support/scoped_locale.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

class RunHistoryTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (std::string(GetParam()) == "postgres") {
            const char* url = std::getenv("VEXORIN_TEST_PG_URL");
            if (!url) GTEST_SKIP() << "no PostgreSQL server of the tests' own";
            where_ = url;
        } else {
            where_ = dir_.File("history.sqlite3");
        }
        Open(true)->Clear();
    }
    std::unique_ptr<RunHistory> Open(bool write) const { return OpenHistory(where_, write); }

    vx::testing::TempDir dir_;
    std::string where_;
};

using vx::testing::MakeRun;
using vx::testing::Rows;

TEST_P(RunHistoryTest, RunsRowsAndTopResultsComeBackAsRecorded) {
    const auto h = Open(true);
    EXPECT_EQ(h->Record(MakeRun("2026-12-07T13:25:00Z", "none"), {}), 0);
    auto rows = Rows({{"Red Shoes", "4,512", "12345", "2.736", "23", "49.911%", "2252"},
                      {"off", "?", "?", "?", "-", "?", "?"}});
    rows[0].SetTop(TopResultsOf({"https://www.a.example/x", "/rel", "http://b.example/"}));
    HistoryRun stopped = MakeRun("2026-12-07T13:25:00Z", "shoes");
    stopped.ended = kEndedStopped;
    stopped.recordedBy = "ann@desk";
    const int64_t a = h->Record(stopped, rows);
    const int64_t b = h->Record(MakeRun("2026-12-08T09:00:00Z", "red"),
                                Rows({{"RED SHOES", "1", "2", "3", "3", "5%", "6"}}));
    ASSERT_GT(a, 0);
    ASSERT_GT(b, a);
    const auto runs = Open(false)->Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].seed, "shoes");
    EXPECT_EQ(runs[0].ended, "stopped");
    EXPECT_EQ(runs[0].rows, 2);
    EXPECT_EQ(runs[0].parallel, 4);
    EXPECT_EQ(runs[0].recordedBy, "ann@desk");
    EXPECT_EQ(runs[1].recordedBy, RecordedByHere());
    EXPECT_EQ(runs[0].uid.size(), 32u);

    ResultsTable table;
    ASSERT_TRUE(Open(false)->Load(a, table));
    ASSERT_EQ(table.Count(), 2);
    EXPECT_EQ(table.At(0).Columns(), rows[0].Columns());
    EXPECT_TRUE(table.At(0).checked);
    EXPECT_FALSE(table.At(1).checked);
    EXPECT_EQ(table.At(0).Top(), rows[0].Top());
    EXPECT_FALSE(Open(false)->Load(b + 1000, table));

    const auto trend = Open(false)->TermHistory("red shoes");
    ASSERT_EQ(trend.size(), 2u);
    EXPECT_EQ(trend[0].texts[3], "23");
    EXPECT_EQ(trend[1].texts[3], "3");

    EXPECT_TRUE(h->Delete(a));
    EXPECT_FALSE(h->Delete(a));
    EXPECT_EQ(Open(false)->TermHistory("red shoes").size(), 1u);
    // Ids are never used again.
    EXPECT_GT(h->Record(MakeRun("2026-12-09T09:00:00Z", "x"), Rows({{"t", "1"}})), b);
    h->Clear();
    EXPECT_TRUE(Open(false)->Runs().empty());
}

// A run sent twice (an answer lost on the way) is there once; a copy
// between back ends keeps every run once, however often it is made.
TEST_P(RunHistoryTest, ARunIsThereOnceHoweverOftenItIsSent) {
    const auto h = Open(true);
    HistoryRun run = MakeRun("2026-12-07T10:00:00Z", "s");
    run.uid = NewRunUid();
    const int64_t first = h->Record(run, Rows({{"t", "1"}}));
    EXPECT_EQ(h->Record(run, Rows({{"t", "1"}})), first);
    EXPECT_EQ(h->Runs().size(), 1u);

    vx::testing::TempDir other;
    HistoryStore local(other.File("h.sqlite3"), HistoryStore::Use::Write);
    local.Record(MakeRun("2026-12-06T10:00:00Z", "local"), Rows({{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(CopyHistory(local, *h), 1);
    EXPECT_EQ(CopyHistory(local, *h), 0);
    EXPECT_EQ(CopyHistory(*h, local), 1);  // the other way: only what it lacked
    const auto runs = h->Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].seed, "local");
    EXPECT_EQ(h->RowsOfRun(runs[0].id).size(), 2u);
}

// A personal history's checks copied into another stay with copies of
// their own projects, never with whichever project has their number there;
// copying twice adds nothing.
TEST_P(RunHistoryTest, ACopyKeepsEachCheckWithItsOwnProject) {
    const auto h = Open(true);
    const auto shared = ProjectsOf(*h);
    TrackingProject team;
    team.name = "team";
    team.site = "team.example";
    const int64_t teamId = shared->Save(team);
    shared->AddTerms(teamId, {"red shoes"});

    vx::testing::TempDir other;
    HistoryStore local(other.File("h.sqlite3"), HistoryStore::Use::Write);
    LocalProjectStore mine(local);
    TrackingProject personal;
    personal.name = "mine";
    personal.site = "mine.example";
    const int64_t mineId = mine.Save(personal);
    mine.AddTerms(mineId, {"red shoes", "blue shoes"});
    HistoryRun check = MakeRun("2026-12-07T10:00:00Z", "mine");
    check.project = mineId;
    local.Record(check, Rows({{"red shoes", "1", "2", "3", "4", "5%", "6"}}));

    EXPECT_EQ(CopyHistory(local, *h), 1);
    EXPECT_EQ(CopyHistory(local, *h), 0);
    const auto copied = shared->Find("mine");
    ASSERT_TRUE(copied);
    EXPECT_NE(copied->id, teamId);
    EXPECT_EQ(h->Runs().back().project, copied->id);
    const auto terms = shared->Terms(copied->id);
    ASSERT_EQ(terms.size(), 2u);
    EXPECT_EQ(terms[0].best, 4);
    EXPECT_FALSE(shared->Terms(teamId).at(0).best);  // the team's ranks untouched
    shared->Remove("mine");
    shared->Remove("team");
}

// Any bytes a term holds come back as they were recorded, on every back
// end: Latin-1, a NUL, a character PostgreSQL's escape uses itself, 3 KB.
TEST_P(RunHistoryTest, AnyTermComesBackByteForByte) {
    const auto h = Open(true);
    const std::vector<std::string> terms = {"caf\xE9", std::string("a\0b", 3),
                                            "\xEF\x9C\x80 \xEF\x9F\xBF", std::string(3000, 'x')};
    std::vector<ResultRow> rows;
    for (const std::string& t : terms) rows.emplace_back(t, std::vector<std::string>{"1"}, true);
    const int64_t id = h->Record(MakeRun("2026-12-07T10:00:00Z", "s"), rows);
    ASSERT_GT(id, 0);
    const auto back = Open(false)->RowsOfRun(id);
    ASSERT_EQ(back.size(), terms.size());
    for (size_t i = 0; i < terms.size(); ++i) EXPECT_EQ(back[i].KeyTerm(), terms[i]) << i;
    EXPECT_EQ(Open(false)->TermHistory("caf\xE9").size(), 1u);
    EXPECT_EQ(Open(false)->TermHistory(std::string(3000, 'x')).size(), 1u);
}

// The window records under the user's locale: a decimal comma there never
// reaches a number the database reads.
TEST_P(RunHistoryTest, AnyLocaleRecordsTheSameFigures) {
    vx::testing::ScopedLocale comma("de_DE");
    ASSERT_TRUE(comma.ok());
    const auto h = Open(true);
    const int64_t id = h->Record(MakeRun("2026-12-07T10:00:00Z", "s"),
                                 Rows({{"t", "4512", "12345", "2.736", "23", "49.911%", "2252"}}));
    ASSERT_GT(id, 0);
    EXPECT_EQ(h->RowsOfRun(id).at(0).Columns(),
              Rows({{"t", "4512", "12345", "2.736", "23", "49.911%", "2252"}})[0].Columns());
}

TEST_P(RunHistoryTest, AReaderNeverWrites) {
    EXPECT_THROW(Open(false)->Record(MakeRun("2026-12-07T10:00:00Z", "s"), Rows({{"t", "1"}})),
                 HistoryError);
}

INSTANTIATE_TEST_SUITE_P(BackEnds, RunHistoryTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
}  // namespace vx
