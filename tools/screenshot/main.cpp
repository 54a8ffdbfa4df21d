// vexorin-screenshot OUT-DIR: opens the real windows, fills the Investigate
// dialog, runs a demo research against the services named in the
// environment, and saves pictures of the main window (during the run and
// after it), the dialog and the About box as PNG files.
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "history/history_store.h"
#include "results/preferences.h"
#include "ui/Application.h"
#include "ui/chart/ChartForm.h"
#include "ui/chart/OpportunityChart.h"
#include "ui/forms/InfoUnit.h"
#include "ui/forms/PreferencesForm.h"
#include "ui/forms/StartUnit.h"
#include "ui/forms/Unit1.h"
#include "ui/history/HistoryForm.h"
#include "ui/platform/EscapeKey.h"
#include "ui/platform/Prompts.h"

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexorin-screenshot OUT-DIR\n");
        return 2;
    }
    // A history of the pictures' own: 200 runs over ten days, several a day.
    const QString data = QDir::tempPath() + u"/vexorin-shot-data"_s;
    QDir(data).removeRecursively();
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    {
        vx::HistoryStore store(vx::HistoryStore::DefaultPath(), vx::HistoryStore::Use::Write);
        const char* seeds[] = {"shoes", "running shoes", "garden tools", "seo tools"};
        for (int i = 0; i < 200; ++i) {
            vx::HistoryRun run;
            const QDateTime when = QDateTime(QDate(2026, 11, 27), QTime(8, 0), Qt::UTC)
                                       .addSecs(static_cast<qint64>(i) * 4 * 3600 + (i % 3) * 1700);
            run.started = when.toString(Qt::ISODate).toStdString();
            run.seed = seeds[i % 4];
            run.site = "example.com";
            run.ended = i % 17 == 0 ? vx::kEndedStopped : vx::kEndedDone;
            const int rank = 2 + (i / 12) % 9 + (i % 3 == 0);
            run.rows = 3;
            store.Record(
                run,
                {vx::ResultRow(
                     "red shoes",
                     {std::to_string(9000 + i * 40), std::to_string(120000 + (i % 9) * 20000), "13",
                      std::to_string(rank), "90%", "800"},
                     true),
                 vx::ResultRow("blue shoes", {"4400", "980000", "222", "-", "0%", "0"}, true),
                 vx::ResultRow("shoe sale", {"12100", "2300000", "190", "?", "?", "?"}, true)});
        }
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    vx::ui::EscapeKey::Instance();
    vx::ui::Forms forms(vx::ui::LocaleDecimalSeparator(),
                        (QDir::tempPath() + u"/vexorin-shot.reg"_s).toStdString());
    vx::ui::TForm1& w = *forms.Form1;
    vx::ui::TStartForm& d = *forms.StartForm;
    w.show();
    std::unique_ptr<vx::ui::TPreferencesForm> preferences;
    bool dialogShot = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!d.isVisible() || dialogShot) return;
        dialogShot = true;
        d.LabeledEdit1->setText(QStringLiteral("shoes"));
        d.HomepageEdit->setText(QStringLiteral("example.com"));
        d.DepthCombo->setCurrentIndex(vx::kDefaultDepthIndex);
        d.MaxResultsSpinEdit->SetValue(15);
        QTimer::singleShot(200, [&] {
            d.grab().save(out + u"/investigate.png"_s);
            d.BitBtn1->click();
        });
    });
    poll.start(20);
    // One picture while the run goes: rows filling, the progress bar showing.
    bool runningShot = false;
    QObject::connect(w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (runningShot || w.Table().Count() != 6) return;
        runningShot = true;
        QTimer::singleShot(60, [&] { w.grab().save(out + u"/main-window-running.png"_s); });
    });
    QTimer::singleShot(300, [&] { w.BitBtn2Click(); });
    // Shoot once the run has ended and the window says so.
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (w.StatusText() != QStringLiteral("Done!")) return;
        done.stop();
        w.ListView1->selectRow(2);
        w.Opportunitychart1Click();
        w.ChartForm()->resize(760, 520);
        w.ChartForm()->move(w.geometry().right() + 8, w.geometry().top());
        QTimer::singleShot(300, [&] {
            w.grab().save(out + u"/main-window.png"_s);
            w.ChartForm()->grab().save(out + u"/chart.png"_s);
            w.ChartForm()->hide();
            // A status text far longer than the window: elided in place.
            const std::string status = w.StatusText().toStdString();
            w.SetStatusText(
                "cheap running shoes for flat feet with wide toe box and arch "
                "support for women over fifty who walk on concrete all day long "
                "at work in a warehouse or a hospital and need something light");
            w.grab().save(out + u"/main-window-long-status.png"_s);
            w.SetStatusText(status);
            // The question before results that were not saved are lost.
            const auto box = vx::ui::Prompts::SaveResultsBox(&w);
            box->show();
            box->grab().save(out + u"/save-prompt.png"_s);
            box->hide();
            QTimer::singleShot(300, [&] {
                forms.InfoForm->grab().save(out + u"/about.png"_s);
                forms.InfoForm->BitBtn3Click();
                // The history of 200 runs, and a term's trend over days.
                w.History1Click();
                QTimer::singleShot(300, [&] {
                    vx::ui::THistoryForm* history = w.HistoryForm();
                    history->resize(980, 560);
                    history->findChild<QListWidget*>(u"TermList"_s)->setCurrentRow(0);
                    QTimer::singleShot(300, [&, history] {
                        history->grab().save(out + u"/history.png"_s);
                        history->hide();
                        // Preferences after a Test against a service that is not there.
                        vx::Preferences p;
                        p.searchHost = "127.0.0.1:9";
                        qunsetenv("VEXORIN_SEARCH_HOST");
                        preferences = std::make_unique<vx::ui::TPreferencesForm>(forms.store, &w);
                        preferences->SetValues(p);
                        preferences->show();
                        preferences->TestServices();
                        QTimer::singleShot(1500, [&] {
                            preferences->grab().save(out + u"/preferences-test.png"_s);
                            app.quit();
                        });
                    });
                });
            });
            w.About1Click();
        });
    });
    done.start(50);
    return app.exec();
}
