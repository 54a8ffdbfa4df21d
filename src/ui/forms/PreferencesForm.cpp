#include "ui/forms/PreferencesForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "engine/host.h"
#include "history/history_store.h"
#include "net/http_client.h"
#include "results/service_address.h"
#include "results/settings_store.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
// "Set by VEXORIN_X (value): it wins over this field", or nothing.
QLabel* OverrideNote(QWidget* parent, const char* variable, const char* name) {
    auto* note = new QLabel(parent);
    note->setObjectName(QString::fromLatin1(name) + QStringLiteral("Override"));
    const QByteArray value = qgetenv(variable);
    if (!value.isEmpty())
        note->setText(QStringLiteral("Set by %1 (%2), which wins")
                          .arg(QLatin1String(variable), ToQString(value.toStdString())));
    note->setVisible(!value.isEmpty());
    return note;
}

// One service's root, fetched once: its time, or what went wrong.
QString TestOne(const std::string& host, const NetLimits& limits,
                const std::shared_ptr<const CancelSignal>& cancel) {
    HttpClient client(limits);
    client.cancel = cancel;
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse r = client.Get(ServiceBaseUrl(host) + "/");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    if (r.statusCode != 0)
        return QStringLiteral("answered in %1 ms (%2)").arg(ms).arg(ToQString(r.statusLine));
    return QStringLiteral("no answer: %1")
        .arg(ToQString(r.error ? std::string(r.error->what()) : std::string("nothing came")));
}
}  // namespace

NetLimits NetLimitsFor(const Preferences& p) {
    NetLimits limits;
    limits.connectTimeoutMs = p.connectSeconds * 1000;
    limits.silenceTimeoutMs = p.silenceSeconds * 1000;
    limits.fetchTimeoutMs = p.fetchSeconds * 1000;
    return NetLimitsFromEnvironment(limits);
}

TPreferencesForm::TPreferencesForm(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("PreferencesForm"));
    setWindowTitle(QStringLiteral("Preferences"));
    auto* grid = new QGridLayout;
    struct Host {
        QLineEdit** edit;
        QLabel** problem;
        const char *caption, *name, *problemName, *variable;
    };
    const Host hosts[] = {
        {&suggest_, &suggestProblem_, "Suggestion service:", "SuggestHostEdit",
         "SuggestHostProblem", "VEXORIN_SUGGEST_HOST"},
        {&search_, &searchProblem_, "Search service:", "SearchHostEdit", "SearchHostProblem",
         "VEXORIN_SEARCH_HOST"},
    };
    int row = 0;
    for (const Host& h : hosts) {
        auto* label = new QLabel(QString::fromLatin1(h.caption), this);
        grid->addWidget(label, row, 0);
        *h.edit = HostEdit(h.name);
        label->setBuddy(*h.edit);
        *h.problem = new QLabel(this);
        (*h.problem)->setObjectName(QString::fromLatin1(h.problemName));
        grid->addWidget(*h.edit, row, 1);
        grid->addWidget(*h.problem, row + 1, 1);
        grid->addWidget(OverrideNote(this, h.variable, h.name), row, 2);
        row += 2;
    }
    for (QLabel* problem : {suggestProblem_, searchProblem_})
        problem->setStyleSheet(QStringLiteral("color: #b00000"));
    struct Number {
        QSpinBox** field;
        const char *name, *caption;
        int lowest, highest;
        const char* variable;
    };
    const Number numbers[] = {
        {&connect_, "ConnectSeconds", "Connect within (s):", kMinBoundSeconds, kMaxBoundSeconds,
         "VEXORIN_NET_CONNECT_MS"},
        {&silence_, "SilenceSeconds", "Silence at most (s):", kMinBoundSeconds, kMaxBoundSeconds,
         "VEXORIN_NET_SILENCE_MS"},
        {&fetch_, "FetchSeconds", "Whole fetch within (s):", kMinBoundSeconds, kMaxBoundSeconds,
         "VEXORIN_NET_FETCH_MS"},
        {&parallel_, "ParallelLookups", "Rows looked up at once:", kMinParallel, kMaxParallel,
         "VEXORIN_PARALLEL"},
        {&retries_, "Retries", "Retries of a failed fetch:", kMinRetries, kMaxRetries,
         "VEXORIN_RETRIES"},
    };
    for (const Number& n : numbers) {
        grid->addWidget(new QLabel(QString::fromLatin1(n.caption), this), row, 0);
        *n.field = NumberField(n.name, n.caption, n.lowest, n.highest);
        grid->addWidget(*n.field, row, 1);
        grid->addWidget(OverrideNote(this, n.variable, n.name), row, 2);
        ++row;
    }
    keepHistory_ = new QCheckBox(QStringLiteral("&Keep research history"), this);
    keepHistory_->setObjectName(QStringLiteral("KeepHistory"));
    auto* clear = new QPushButton(QStringLiteral("C&lear history..."), this);
    clear->setObjectName(QStringLiteral("ClearHistory"));
    historyResult_ = new QLabel(this);
    historyResult_->setObjectName(QStringLiteral("HistoryResult"));
    grid->addWidget(keepHistory_, row, 0);
    grid->addWidget(clear, row, 1);
    grid->addWidget(historyResult_, row, 2);
    ++row;
    connect(clear, &QPushButton::clicked, this, &TPreferencesForm::ClearHistory);
    auto* test = new QPushButton(QStringLiteral("&Test"), this);
    test->setObjectName(QStringLiteral("TestButton"));
    testResult_ = new QLabel(this);
    testResult_->setObjectName(QStringLiteral("TestResult"));
    testResult_->setWordWrap(true);
    grid->addWidget(test, row, 0);
    grid->addWidget(testResult_, row, 1, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TPreferencesForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TPreferencesForm::reject);
    connect(test, &QPushButton::clicked, this, &TPreferencesForm::TestServices);
    connect(suggest_, &QLineEdit::textChanged, this, &TPreferencesForm::CheckHosts);
    connect(search_, &QLineEdit::textChanged, this, &TPreferencesForm::CheckHosts);
    SetValues(LoadPreferences(store_));
}

TPreferencesForm::~TPreferencesForm() {
    // A test still running ends now, and its thread with it.
    if (testCancel_) testCancel_->Cancel();
    if (testThread_.joinable()) testThread_.join();
}

QLineEdit* TPreferencesForm::HostEdit(const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(QStringLiteral("https://host:port, or the bundled services"));
    edit->setMaxLength(kMaxEntryLength);
    return edit;
}

QSpinBox* TPreferencesForm::NumberField(const char* name, const char* caption, int lowest,
                                        int highest) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(lowest, highest);
    box->setAccessibleName(QString::fromLatin1(caption));
    return box;
}

void TPreferencesForm::CheckHosts() {
    bool ok = true;
    for (auto [edit, problem] : {std::pair{suggest_, suggestProblem_}, {search_, searchProblem_}}) {
        const std::string why = HostPortProblem(ToBytes(edit->text()));
        problem->setText(ToQString(why));
        // Said with the field by a screen reader.
        edit->setAccessibleDescription(ToQString(why));
        ok = ok && why.empty();
    }
    ok_->setEnabled(ok);
}

Preferences TPreferencesForm::Values() const {
    Preferences p;
    p.suggestHost = ToBytes(suggest_->text().trimmed());
    p.searchHost = ToBytes(search_->text().trimmed());
    p.connectSeconds = connect_->value();
    p.silenceSeconds = silence_->value();
    p.fetchSeconds = fetch_->value();
    p.parallel = parallel_->value();
    p.retries = retries_->value();
    p.keepHistory = keepHistory_->isChecked();
    return p;
}

void TPreferencesForm::SetValues(const Preferences& p) {
    suggest_->setText(ToQString(p.suggestHost));
    search_->setText(ToQString(p.searchHost));
    connect_->setValue(p.connectSeconds);
    silence_->setValue(p.silenceSeconds);
    fetch_->setValue(p.fetchSeconds);
    parallel_->setValue(p.parallel);
    retries_->setValue(p.retries);
    keepHistory_->setChecked(p.keepHistory);
    CheckHosts();
}

void TPreferencesForm::accept() {
    if (!ok_->isEnabled()) return;
    SavePreferences(store_, Values());
    QDialog::accept();
}

void TPreferencesForm::ClearHistory() {
    if (!Prompts::Confirm(this, QStringLiteral("Delete every run from the research history?")))
        return;
    try {
        HistoryStore(HistoryStore::DefaultPath(), HistoryStore::Use::Write).Clear();
        historyResult_->setText(QStringLiteral("History cleared"));
    } catch (const std::exception& e) {
        historyResult_->setText(QStringLiteral("Could not clear the history: ") +
                                QString::fromLocal8Bit(e.what()));
    }
}

void TPreferencesForm::TestServices() {
    if (testCancel_) testCancel_->Cancel();
    if (testThread_.joinable()) testThread_.join();
    testCancel_ = std::make_shared<CancelSignal>();
    const Preferences p = Values();
    const ServiceHosts hosts = ServiceHostsFor(p);
    const NetLimits limits = NetLimitsFor(p);
    testResult_->setText(QStringLiteral("Testing\u2026"));
    testThread_ = std::thread([this, hosts, limits, cancel = testCancel_] {
        const QString text =
            QStringLiteral("Suggestion service: %1\nSearch service: %2")
                .arg(TestOne(hosts.suggest, limits, cancel), TestOne(hosts.search, limits, cancel));
        if (cancel->Cancelled()) return;
        // Delivered on the GUI thread; dropped if the form is gone by then.
        QMetaObject::invokeMethod(
            this, [this, text] { testResult_->setText(text); }, Qt::QueuedConnection);
    });
}

}  // namespace vx::ui
