// Tracking from the window: checked terms into the site's project, the
// Tracking window's terms with what a check found, terms added, paused and
// removed, and the schedule where no user systemd is.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "history/project_store.h"
#include "results/preferences.h"
#include "results/settings_store.h"
#include "support/scoped_env.h"
#include "tracking/project_check.h"
#include "tracking/rank_moves.h"
#include "ui/platform/Prompts.h"
#include "ui/tracking/TrackingForm.h"
#include "ui/tracking/TrackingModel.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

TEST(Tracking, CheckedTermsAreTrackedAndCheckedFromTheWindow) {
    Services services;
    TempDir data;
    vx::testing::ScopedEnv ownHistory("XDG_DATA_HOME", data.path());
    // No session bus: the schedule cannot be switched here.
    vx::testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + data.File("no-bus"));
    Window k;
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"seo tools"_s, u"example.com"_s, 0, 4); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    ASSERT_EQ(k.w.Table().Count(), 4);
    k.w.Table().SelectNone1Click();
    k.w.Table().SetCheckedAt(1, true);
    k.w.Table().SetCheckedAt(3, true);
    TriggerAction(k.w, "TrackChecked1");
    EXPECT_EQ(k.w.StatusText(), u"2 terms more tracked in example.com (Tools > Tracking)"_s);
    TriggerAction(k.w, "TrackChecked1");  // tracked already: none more
    EXPECT_EQ(k.w.StatusText(), u"0 terms more tracked in example.com (Tools > Tracking)"_s);

    TriggerAction(k.w, "Tracking1");
    TTrackingForm* form = k.w.TrackingForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->ChosenProject(), u"example.com"_s);
    ASSERT_EQ(form->Model().rowCount(), 2);
    EXPECT_EQ(form->Model().TermAt(0).term, k.w.Table().At(1).KeyTerm());
    EXPECT_FALSE(form->Model().TermAt(0).Latest().has_value());

    QSignalSpy ended(form, &TTrackingForm::CheckEnded);
    ClickButton(*form, "CheckNow");
    ASSERT_TRUE(ended.wait(30000));
    ASSERT_EQ(form->Model().rowCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const ResultRow& row = k.w.Table().At(i == 0 ? 1 : 3);
        const TrackedTerm& t = form->Model().TermAt(i);
        EXPECT_EQ(RankText(t.Latest()), RankText(RankOfText(row.Text(colRank)))) << t.term;
        EXPECT_EQ(t.recent.size(), 1u);
    }
    EXPECT_TRUE(form->Status()->text().startsWith(u"example.com: 2 of 2 terms checked"_s))
        << form->Status()->text().toStdString();

    form->findChild<QLineEdit*>(u"NewTerms"_s)->setText(u"extra term, EXTRA TERM,  "_s);
    ClickButton(*form, "AddTerms");
    ASSERT_EQ(form->Model().rowCount(), 3);
    EXPECT_EQ(form->Model().TermAt(2).term, "extra term");
    form->Terms()->selectRow(0);
    ClickButton(*form, "PauseTerms");
    EXPECT_TRUE(form->Model().TermAt(0).paused);
    EXPECT_TRUE(form->Model().index(0, 0).data().toString().endsWith(u" (paused)"_s));
    form->Terms()->selectRow(2);
    // Asked first; only Yes removes it.
    for (const auto answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
        Prompts::AnswerNext next(answer);
        ClickButton(*form, "RemoveTerms");
        EXPECT_TRUE(next.Used());
        EXPECT_EQ(next.Question(),
                  u"Stop tracking \u201cextra term\u201d in example.com? Its past checks stay in "
                  "the history."_s);
        EXPECT_EQ(form->Model().rowCount(), answer == Prompts::Answer::Yes ? 2 : 3);
    }
    {
        HistoryStore history(HistoryStore::DefaultPath());
        LocalProjectStore projects(history);
        const auto p = projects.Find("example.com");
        ASSERT_TRUE(p);
        EXPECT_EQ(p->depth, "1");
        EXPECT_EQ(projects.ActiveTerms(p->id),
                  std::vector<std::string>{std::string(k.w.Table().At(3).KeyTerm())});
    }

    auto* automatic = form->findChild<QCheckBox*>(u"CheckAutomatically"_s);
    EXPECT_FALSE(automatic->isEnabled());
    EXPECT_TRUE(form->findChild<QLabel*>(u"Schedule"_s)
                    ->text()
                    .endsWith(QString::fromStdString("\n" + CrontabLine())));
}

// Check now asks the services a research from this window asks (the
// addresses Preferences hold), and a rank check needs no suggestion
// service: one whose secrets cannot be had is no reason to refuse.
TEST(Tracking, CheckNowAsksWhatPreferencesName) {
    Services services;
    const std::string host = std::getenv("VEXORIN_SEARCH_HOST");
    vx::testing::ScopedEnv noSearchHost("VEXORIN_SEARCH_HOST", "");
    vx::testing::ScopedEnv noSuggestHost("VEXORIN_SUGGEST_HOST", "");
    TempDir data;
    vx::testing::ScopedEnv ownHistory("XDG_DATA_HOME", data.path());
    vx::testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + data.File("no-bus"));
    Window k;
    {
        SettingsStore store(k.dir.File("settings.reg"));
        Preferences p = LoadPreferences(store);
        p.suggestHost = p.searchHost = host;
        p.suggestService = "google-ads";  // no secrets for it anywhere
        ASSERT_TRUE(SavePreferences(store, p));
        HistoryStore history(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
        LocalProjectStore projects(history);
        TrackingProject project;
        project.name = project.site = "example.com";
        project.depth = "1";
        projects.AddTerms(projects.Save(project), {"seo tools"});
    }
    TriggerAction(k.w, "Tracking1");
    TTrackingForm* form = k.w.TrackingForm();
    ASSERT_NE(form, nullptr);
    form->ChooseProject(u"example.com"_s);
    QSignalSpy ended(form, &TTrackingForm::CheckEnded);
    ClickButton(*form, "CheckNow");
    ASSERT_TRUE(ended.wait(30000));
    EXPECT_TRUE(form->Status()->text().startsWith(u"example.com: 1 of 1 terms checked"_s))
        << form->Status()->text().toStdString();
}

// "Open" on a check's notification brings the Tracking window up, through a
// real notification server (run by with_notifications.sh; skipped without).
TEST(TrackingNotice, OpenShowsTheTrackingWindow) {
    if (qEnvironmentVariable("VEXORIN_NOTIFICATION_SERVER") != u"dunst"_s)
        GTEST_SKIP() << "no notification server of the tests' own";
    TempDir data;
    TTrackingForm form(data.File("history.sqlite3"), nullptr);
    ASSERT_TRUE(form.Notify(u"shop: 1 term moved"_s, u"red: 12 \u2192 4"_s));
    EXPECT_FALSE(form.isVisible());
    QProcess::execute(u"dunstctl"_s, {u"action"_s, u"0"_s});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.isVisible(); }, 5000));
}

}  // namespace
}  // namespace vx::ui
