// Shared pieces of the window tests: the stand-in services on a free port,
// the three forms with a settings file of their own, and a one-shot answer
// to the next Investigate dialog.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "stand_in_server.h"
#include "support/temp_dir.h"
#include "ui/Application.h"
#include "ui/forms/StartUnit.h"
#include "ui/forms/Unit1.h"

namespace vx::ui {

using vx::testing::TempDir;

// The stand-in services on a free loopback port, in a thread of their own.
class Services {
  public:
    explicit Services(int latencyMs = 0) : server_(0, {.latencyMs = latencyMs}) {
        const std::string host = "127.0.0.1:" + std::to_string(server_.port());
        ::setenv("VEXORIN_SUGGEST_HOST", host.c_str(), 1);
        ::setenv("VEXORIN_SEARCH_HOST", host.c_str(), 1);
        thread_ = std::thread([this] { server_.Run(stop_); });
    }
    ~Services() {
        stop_ = true;
        thread_.join();
    }

  private:
    services::StandInServer server_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Window {
    TempDir dir;
    Forms forms{'.', dir.File("settings.reg")};
    TForm1& w = *forms.Form1;
    TStartForm& d = *forms.StartForm;
};

// Answers the Investigate dialog as soon as it is shown modally.
inline void WhenDialogShows(std::function<void(TStartForm&)> act, TStartForm& d) {
    // Owned by the dialog: an answer never used goes with it.
    auto* timer = new QTimer(&d);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act, &d] {
        if (!d.isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(d);
    });
    timer->start();
}

inline void Investigate(TStartForm& d, const QString& keyword, const QString& site, int depthIndex,
                        int results) {
    d.LabeledEdit1->setText(keyword);
    d.HomepageEdit->setText(site);
    d.DepthCombo->setCurrentIndex(depthIndex);
    d.MaxResultsSpinEdit->SetValue(results);
    QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
}

// A control found by object name that a user could use now: present and
// enabled (a test failure and null otherwise).
template <typename Control>
Control* EnabledChild(QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    if (control == nullptr) return nullptr;
    EXPECT_TRUE(control->isEnabled()) << name;
    return control->isEnabled() ? control : nullptr;
}

// Triggers a menu action as the user would (KeePassXC's triggerAction), then
// processes the events it posted.
inline void TriggerAction(QWidget& window, const char* name) {
    if (auto* action = EnabledChild<QAction>(window, name)) action->trigger();
    QCoreApplication::processEvents();
}

// Clicks a button as the user would, then processes the events it posted.
inline void ClickButton(QWidget& window, const char* name) {
    if (auto* button = EnabledChild<QAbstractButton>(window, name)) button->click();
    QCoreApplication::processEvents();
}

inline QStringList Column(TForm1& w, int column) {
    QStringList out;
    auto* m = w.ListView1->model();
    for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, column).data().toString();
    return out;
}

}  // namespace vx::ui
