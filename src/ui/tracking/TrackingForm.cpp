#include "ui/tracking/TrackingForm.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <ctime>

#include "history/history_choice.h"
#include "results/preferences.h"
#include "results/settings_store.h"
#include "session/desktop_notifier.h"
#include "session/user_timer.h"
#include "tracking/project_check.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/ToolWindowAccessible.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/TextEdge.h"
#include "ui/tracking/SparklineDelegate.h"
#include "ui/tracking/TrackCheck.h"
#include "ui/tracking/TrackingModel.h"

namespace vx::ui {

namespace {
// Terms typed as the tool takes them: a comma or a line between them.
std::vector<std::string> TypedTerms(const QString& text) {
    std::vector<std::string> terms;
    for (const QString& t : text.split(QRegularExpression(QStringLiteral("[,\\n]"))))
        if (!t.trimmed().isEmpty()) terms.push_back(ToBytes(t.trimmed()));
    return terms;
}
}  // namespace

TTrackingForm::TTrackingForm(std::string historyPath, SettingsStore* settings, QWidget* parent)
    : QWidget(parent, Qt::Window), historyPath_(std::move(historyPath)), settings_(settings) {
    InstallAccessibleFactory<TTrackingForm, ToolWindowAccessible>();
    setObjectName(QStringLiteral("TrackingForm"));
    setWindowTitle(QStringLiteral("Tracking"));
    projects_ = new QListWidget(this);
    projects_->setObjectName(QStringLiteral("ProjectList"));
    projects_->setAccessibleName(QStringLiteral("Tracking projects"));
    model_ = new TrackingModel(this);
    terms_ = new QTableView(this);
    terms_->setObjectName(QStringLiteral("TrackedTerms"));
    // Tab leaves the table; the arrow keys move inside it.
    terms_->setTabKeyNavigation(false);
    terms_->setAccessibleName(QStringLiteral("Tracked terms"));
    terms_->setModel(model_);
    terms_->setItemDelegateForColumn(TrackingModel::kRecent, new SparklineDelegate(*model_, this));
    terms_->verticalHeader()->hide();
    terms_->setSelectionBehavior(QAbstractItemView::SelectRows);
    terms_->horizontalHeader()->setStretchLastSection(true);
    terms_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    for (const auto& [column, width] : {std::pair{TrackingModel::kTerm, 200},
                                        {TrackingModel::kRank, 60},
                                        {TrackingModel::kChange, 120},
                                        {TrackingModel::kBest, 60}})
        terms_->horizontalHeader()->resizeSection(column, width);

    auto* newCaption = new QLabel(QStringLiteral("Ne&w terms:"), this);
    newTerms_ = new QLineEdit(this);
    newTerms_->setObjectName(QStringLiteral("NewTerms"));
    newTerms_->setPlaceholderText(QStringLiteral("red shoes, blue shoes"));
    newCaption->setBuddy(newTerms_);
    add_ = new QPushButton(QStringLiteral("&Add"), this);
    add_->setObjectName(QStringLiteral("AddTerms"));
    remove_ = new QPushButton(QStringLiteral("&Remove"), this);
    remove_->setObjectName(QStringLiteral("RemoveTerms"));
    pause_ = new QPushButton(QStringLiteral("&Pause or resume"), this);
    pause_->setObjectName(QStringLiteral("PauseTerms"));
    checkNow_ = new QPushButton(QStringLiteral("Check &now"), this);
    checkNow_->setObjectName(QStringLiteral("CheckNow"));
    automatic_ = new QCheckBox(
        QStringLiteral("Check a&utomatically (the projects that are due, looked for hourly)"),
        this);
    automatic_->setObjectName(QStringLiteral("CheckAutomatically"));
    schedule_ = new QLabel(this);
    schedule_->setObjectName(QStringLiteral("Schedule"));
    schedule_->setWordWrap(true);
    schedule_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("TrackingStatus"));
    status_->setWordWrap(true);

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(newCaption);
    editRow->addWidget(newTerms_, 1);
    editRow->addWidget(add_);
    auto* actions = new QHBoxLayout;
    actions->addWidget(remove_);
    actions->addWidget(pause_);
    actions->addStretch(1);
    actions->addWidget(checkNow_);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(terms_, 1);
    rightLayout->addLayout(editRow);
    rightLayout->addLayout(actions);
    auto* split = new QSplitter(this);
    split->addWidget(projects_);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({160, 560});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(automatic_);
    layout->addWidget(schedule_);
    layout->addWidget(status_);
    resize(760, 520);

    check_ = new TrackCheck(historyPath_, this);
    connect(check_, &TrackCheck::Progress, status_, &QLabel::setText);
    connect(check_, &TrackCheck::Finished, this,
            [this](const QString& summary, const QStringList& moves, const QString& noticeSummary,
                   const QString& noticeBody) {
                Refresh();
                status_->setText(moves.isEmpty() ? summary
                                                 : summary + QStringLiteral(": ") +
                                                       moves.join(QStringLiteral("; ")));
                if (!noticeSummary.isEmpty()) Notify(noticeSummary, noticeBody);
                emit CheckEnded();
            });
    connect(projects_, &QListWidget::currentRowChanged, this, [this] { ShowTerms(); });
    connect(add_, &QPushButton::clicked, this, &TTrackingForm::AddTyped);
    connect(newTerms_, &QLineEdit::returnPressed, this, &TTrackingForm::AddTyped);
    connect(remove_, &QPushButton::clicked, this, &TTrackingForm::RemoveChosen);
    connect(pause_, &QPushButton::clicked, this, &TTrackingForm::PauseChosen);
    connect(checkNow_, &QPushButton::clicked, this, &TTrackingForm::CheckNow);
    connect(automatic_, &QCheckBox::clicked, this, &TTrackingForm::SetAutomatic);
    Refresh();
    ShowSchedule();
}

TTrackingForm::~TTrackingForm() = default;

bool TTrackingForm::Checking() const {
    return check_->Running();
}

void TTrackingForm::SetHistoryPath(std::string path) {
    if (path == historyPath_) return;
    historyPath_ = std::move(path);
    Refresh();
}

void TTrackingForm::Refresh() {
    const QString chosen = ChosenProject();
    projects_->blockSignals(true);
    projects_->clear();
    try {
        const auto history = OpenHistory(historyPath_, false);
        for (const TrackingProject& p : ProjectsOf(*history)->Projects()) {
            auto* item = new QListWidgetItem(ToQString(p.name), projects_);
            item->setToolTip(QStringLiteral("%1, %2 terms").arg(ToQString(p.site)).arg(p.terms));
        }
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("Cannot read the history: ") + QString::fromUtf8(e.what()));
    }
    projects_->blockSignals(false);
    ChooseProject(chosen);
    if (projects_->currentRow() < 0 && projects_->count() > 0) projects_->setCurrentRow(0);
    ShowTerms();
}

void TTrackingForm::ChooseProject(const QString& name) {
    const auto found = projects_->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) projects_->setCurrentItem(found.first());
}

QString TTrackingForm::ChosenProject() const {
    return projects_->currentItem() ? projects_->currentItem()->text() : QString();
}

std::optional<TrackingProject> TTrackingForm::Project() const {
    if (ChosenProject().isEmpty()) return std::nullopt;
    const auto history = OpenHistory(historyPath_, false);
    return ProjectsOf(*history)->Find(ToBytes(ChosenProject()));
}

void TTrackingForm::ShowTerms() {
    std::vector<TrackedTerm> terms;
    QString said;
    try {
        if (const auto p = Project()) {
            const auto history = OpenHistory(historyPath_, false);
            terms = ProjectsOf(*history)->Terms(p->id);
            const std::time_t now = std::time(nullptr);
            said =
                IsDue(*p, now)
                    ? QStringLiteral("%1 (%2): due for a check")
                          .arg(ToQString(p->name), ToQString(p->site))
                    : QStringLiteral("%1 (%2): next check after %3")
                          .arg(ToQString(p->name), ToQString(p->site),
                               QLocale().toString(QDateTime::fromSecsSinceEpoch(
                                                      *p->lastCheck +
                                                      static_cast<qint64>(p->intervalHours) * 3600 -
                                                      kDueSlackSeconds),
                                                  QLocale::ShortFormat));
        } else {
            said = QStringLiteral(
                "No project yet: check terms in the main window, then Keywords > Track checked "
                "terms");
        }
    } catch (const std::exception& e) {
        said = QStringLiteral("Cannot read the history: ") + QString::fromUtf8(e.what());
    }
    model_->SetTerms(std::move(terms));
    for (QWidget* w : {static_cast<QWidget*>(add_), static_cast<QWidget*>(remove_),
                       static_cast<QWidget*>(pause_), static_cast<QWidget*>(newTerms_)})
        w->setEnabled(!ChosenProject().isEmpty());
    checkNow_->setEnabled(!ChosenProject().isEmpty() && !check_->Running());
    if (!check_->Running()) status_->setText(said);
}

void TTrackingForm::AddTyped() {
    const auto p = Project();
    const std::vector<std::string> terms = TypedTerms(newTerms_->text());
    if (!p || terms.empty()) return;
    try {
        const auto history = OpenHistory(historyPath_, true);
        const int added = ProjectsOf(*history)->AddTerms(p->id, terms);
        newTerms_->clear();
        ShowTerms();
        status_->setText(QStringLiteral("%1 added to %2").arg(added).arg(ToQString(p->name)));
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("Cannot add: ") + QString::fromUtf8(e.what()));
    }
}

void TTrackingForm::RemoveChosen() {
    const auto p = Project();
    std::vector<std::string> terms;
    for (const QModelIndex& i : terms_->selectionModel()->selectedRows())
        terms.push_back(model_->TermAt(i.row()).term);
    if (!p || terms.empty()) return;
    // Asked first: a removed term's place in the checks to come is gone.
    const QString what = terms.size() == 1
                             ? QStringLiteral("\u201c%1\u201d").arg(ToQString(terms.front()))
                             : QStringLiteral("%1 terms").arg(terms.size());
    if (!Prompts::Confirm(this, QStringLiteral("Stop tracking %1 in %2? Its past checks stay in "
                                               "the history.")
                                    .arg(what, ToQString(p->name))))
        return;
    try {
        const auto history = OpenHistory(historyPath_, true);
        ProjectsOf(*history)->RemoveTerms(p->id, terms);
        ShowTerms();
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("Cannot remove: ") + QString::fromUtf8(e.what()));
    }
}

void TTrackingForm::PauseChosen() {
    const auto p = Project();
    const QModelIndexList rows = terms_->selectionModel()->selectedRows();
    if (!p || rows.isEmpty()) return;
    try {
        const auto history = OpenHistory(historyPath_, true);
        const auto store = ProjectsOf(*history);
        for (const QModelIndex& i : rows) {
            const TrackedTerm& t = model_->TermAt(i.row());
            store->SetPaused(p->id, t.term, !t.paused);
        }
        ShowTerms();
    } catch (const std::exception& e) {
        status_->setText(QStringLiteral("Cannot pause: ") + QString::fromUtf8(e.what()));
    }
}

void TTrackingForm::CheckNow() {
    const auto p = Project();
    if (!p) return;
    SettingsStore none(std::string{});
    if (!check_->Start(*p, LoadPreferences(settings_ ? *settings_ : none))) return;
    checkNow_->setEnabled(false);
    status_->setText(QStringLiteral("Checking %1...").arg(ToQString(p->name)));
}

bool TTrackingForm::Notify(const QString& summary, const QString& body) {
    if (!notifier_) notifier_ = std::make_unique<DesktopNotifier>();
    if (!notifier_->Send(ToBytes(summary), ToBytes(body), true)) return false;
    // "Open" on the notification brings this window up.
    if (!notifierWatch_ && notifier_->Fd() >= 0) {
        notifierWatch_ = new QSocketNotifier(notifier_->Fd(), QSocketNotifier::Read, this);
        connect(notifierWatch_, &QSocketNotifier::activated, this, [this] {
            if (notifier_->Opened().empty()) return;
            show();
            raise();
            activateWindow();
        });
    }
    return true;
}

void TTrackingForm::SetAutomatic(bool on) {
    const std::string failed = SwitchTrackTimer(on);
    ShowSchedule();
    if (!failed.empty()) schedule_->setText(ToQString(failed));
}

void TTrackingForm::ShowSchedule() {
    const TimerState timer = QueryTrackTimer();
    automatic_->setEnabled(timer.available);
    automatic_->setChecked(timer.enabled);
    if (!timer.available) {
        schedule_->setText(
            QStringLiteral("Checks cannot be scheduled from here: %1. To check every hour, add "
                           "this line with crontab -e:\n%2")
                .arg(ToQString(timer.why), ToQString(CrontabLine())));
    } else if (timer.next) {
        schedule_->setText(QStringLiteral("The next check runs at %1.")
                               .arg(QLocale().toString(QDateTime::fromSecsSinceEpoch(*timer.next),
                                                       QLocale::ShortFormat)));
    } else {
        schedule_->setText(timer.enabled ? QStringLiteral("The timer is on.")
                                         : QStringLiteral("Checks run only when asked."));
    }
}

}  // namespace vx::ui
