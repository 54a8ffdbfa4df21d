#include "ui/forms/PreferencesForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "engine/host.h"
#include "engine/metrics.h"
#include "engine/research.h"
#include "history/history_choice.h"
#include "history/history_store.h"
#include "history/pg_history_store.h"
#include "net/http_client.h"
#include "net/tls_context.h"
#include "results/service_address.h"
#include "results/settings_store.h"
#include "secrets/secret_store.h"
#include "sources/service_choice.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
// "Set by VEXORIN_X (value): it wins over this field", or nothing.
QLabel* OverrideNote(QWidget* parent, const char* variable, const char* name) {
    auto* note = new QLabel(parent);
    note->setObjectName(QString::fromLatin1(name) + QStringLiteral("Override"));
    // Kept out of the environment when it may hold a password; never shown with one.
    const std::string kept = KeptVariable(variable).value_or("");
    const QString value = ToQString(MaskSecrets(kept, PasswordsInUrl(kept)));
    if (!value.isEmpty())
        note->setText(QStringLiteral("Set for this session by %1 (change it there)")
                          .arg(QLatin1String(variable)));
    note->setToolTip(QStringLiteral("%1=%2").arg(QLatin1String(variable), value));
    note->setVisible(!value.isEmpty());
    return note;
}

// "refused the credentials (401)" -> "Refused the credentials (401)."
QString Sentence(const std::string& words) {
    QString text = ToQString(words);
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text.endsWith(u'.') ? text : text + u'.';
}

// Why a fetch failed, in words a user can act on.
QString FailureInWords(const NetError& e, const std::string& host, const NetLimits& limits,
                       const char* role) {
    switch (e.kind) {
        case NetErrorKind::Refused:
            return QStringLiteral("Refused the connection: is the service running at %1?")
                .arg(ToQString(host));
        case NetErrorKind::Resolve:
            return QStringLiteral("No computer is called %1 (the name does not resolve).")
                .arg(ToQString(host));
        case NetErrorKind::TimedOut:
            return QStringLiteral("No answer within %1 s.").arg(limits.fetchTimeoutMs / 1000);
        case NetErrorKind::Tls: {
            const std::string why = e.what();
            if (why.find("self-signed") != std::string::npos ||
                why.find("self signed") != std::string::npos)
                return QStringLiteral(
                    "The certificate is self-signed: add its CA file below or in "
                    "VEXORIN_CA_FILE.");
            return QStringLiteral(
                       "The secure connection failed (%1): add its CA file below or in "
                       "VEXORIN_CA_FILE if it is your own.")
                .arg(ToQString(why));
        }
        case NetErrorKind::HttpStatus:
            return QStringLiteral("Answered \u201c%1\u201d: is this the %2 service?")
                .arg(ToQString(e.what()).section(u' ', 1), QLatin1String(role));
        case NetErrorKind::Closed:
            return QStringLiteral("Closed the connection without an answer.");
        case NetErrorKind::Malformed:
            return QStringLiteral("Answered something that is not HTTP: is this the %1 service?")
                .arg(QLatin1String(role));
        default:
            return ToQString(e.what());
    }
}

// The service asked a real question, as a run asks it: a suggestion for
// "test", or a search for "test"; its time and what came, or what is wrong.
QString TestOne(const std::string& host, bool suggestions, const NetLimits& limits,
                const std::shared_ptr<const CancelSignal>& cancel) {
    HttpClient client(limits);
    client.cancel = cancel;
    client.tls = TlsContext::ForRun(limits.caFile);
    const auto start = std::chrono::steady_clock::now();
    const std::string url =
        ServiceBaseUrl(host) + (suggestions
                                    ? "/d/searchinventory/suggestion/?term=test&mkt=us&lang=en_US"
                                    : "/search?p=%22test%22");
    const HttpResponse r = client.Get(url);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    if (r.error)
        return FailureInWords(*r.error, host, limits, suggestions ? "suggestion" : "search");
    if (suggestions) {
        const int n = Research::CountSuggestions(r.body);
        if (n == 0)
            return QStringLiteral(
                       "Answered in %1 ms, but with no suggestions: is this the "
                       "suggestion service?")
                .arg(ms);
        return QStringLiteral("Answered in %1 ms with %2 suggestions").arg(ms).arg(n);
    }
    const std::string count = Research::CountOnPage(r.body, true);
    if (count == kUnknown)
        return QStringLiteral(
                   "Answered in %1 ms, but with no page count: is this the search "
                   "service?")
            .arg(ms);
    return QStringLiteral("Answered in %1 ms: %2 pages hold \u201ctest\u201d")
        .arg(ms)
        .arg(ToQString(count));
}

// A profile service asked once for "keyword research", as a run would ask
// it: its time and what came, or what is wrong.
QString TestSearchSource(const SearchSource& source, const NetLimits& limits,
                         const std::shared_ptr<const CancelSignal>& cancel) {
    const auto start = std::chrono::steady_clock::now();
    const PageAnswer a = FetchAnswer(source.CountRequest("keyword research"), limits, cancel);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    if (!a.answered) return QStringLiteral("no answer: %1").arg(ToQString(a.error));
    const SearchRead read = source.Read({a.status, a.complete, a.body, a.oversized});
    if (!read.error.empty()) return Sentence(read.error);
    return QStringLiteral("Answered in %1 ms: %2 results")
        .arg(ms)
        .arg(read.count ? QString::number(*read.count) : QStringLiteral("no count,"));
}

QString TestSuggestionSource(SuggestionSource& source, const NetLimits& limits,
                             const std::shared_ptr<const CancelSignal>& cancel) {
    const auto start = std::chrono::steady_clock::now();
    source.Begin("keyword research", 5);
    for (int asked = 0; asked < 4; ++asked) {
        const auto request = source.Next();
        if (!request) break;
        const PageAnswer a = FetchAnswer(*request, limits, cancel);
        if (!a.answered) return QStringLiteral("no answer: %1").arg(ToQString(a.error));
        if (const std::string fault = source.Read({a.status, a.complete, a.body, a.oversized});
            !fault.empty())
            return Sentence(fault);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    return QStringLiteral("Answered in %1 ms with %2 suggestions")
        .arg(ms)
        .arg(source.Terms().size());
}
}  // namespace

NetLimits NetLimitsFor(const Preferences& p) {
    NetLimits limits;
    limits.connectTimeoutMs = p.connectSeconds * 1000;
    limits.silenceTimeoutMs = p.silenceSeconds * 1000;
    limits.fetchTimeoutMs = p.fetchSeconds * 1000;
    limits.caFile = p.caFile;
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
    // The kinds of service: "classic" (the addresses above) or a profile,
    // optionally with "@URL" for its base.
    struct Profile {
        QComboBox** combo;
        const char *caption, *name, *variable;
        bool suggests;
    };
    const Profile profiles[] = {
        {&suggestProfile_, "Suggestions from:", "SuggestProfile", "VEXORIN_SUGGEST_SERVICE", true},
        {&searchProfile_, "Searches from:", "SearchProfile", "VEXORIN_SEARCH_SERVICE", false},
    };
    for (const Profile& pr : profiles) {
        auto* label = new QLabel(QString::fromLatin1(pr.caption), this);
        grid->addWidget(label, row, 0);
        *pr.combo = ProfileCombo(pr.name, pr.suggests);
        label->setBuddy(*pr.combo);
        grid->addWidget(*pr.combo, row, 1);
        grid->addWidget(OverrideNote(this, pr.variable, pr.name), row, 2);
        ++row;
    }
    servicesNote_ = new QLabel(this);
    servicesNote_->setObjectName(QStringLiteral("ServicesNote"));
    servicesNote_->setWordWrap(true);
    grid->addWidget(servicesNote_, row++, 1, 1, 2);
    // A secret is typed here and goes to the desktop keyring, never to the
    // settings file.
    auto* secretLabel = new QLabel(QStringLiteral("Secret:"), this);
    grid->addWidget(secretLabel, row, 0);
    secretName_ = new QComboBox(this);
    secretName_->setObjectName(QStringLiteral("SecretName"));
    secretName_->setAccessibleName(QStringLiteral("Secret to keep"));
    secretLabel->setBuddy(secretName_);
    grid->addWidget(secretName_, row, 1);
    secretValue_ = new QLineEdit(this);
    secretValue_->setObjectName(QStringLiteral("SecretValue"));
    secretValue_->setEchoMode(QLineEdit::Password);
    secretValue_->setAccessibleName(QStringLiteral("Secret value"));
    secretValue_->setPlaceholderText(QStringLiteral("kept in the keyring"));
    grid->addWidget(secretValue_, row++, 2);
    auto* keep = new QPushButton(QStringLiteral("Keep in key&ring"), this);
    keep->setObjectName(QStringLiteral("KeepSecret"));
    secretResult_ = new QLabel(this);
    secretResult_->setObjectName(QStringLiteral("SecretResult"));
    grid->addWidget(keep, row, 1);
    grid->addWidget(secretResult_, row++, 2);
    connect(keep, &QPushButton::clicked, this, &TPreferencesForm::KeepSecret);
    for (QComboBox* combo : {suggestProfile_, searchProfile_})
        connect(combo, &QComboBox::currentTextChanged, this, &TPreferencesForm::CheckServices);
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
    // Tracking tells a move this big (and every entry into or exit from the
    // top 10).
    const char* moveCaption = "Tell a tracked rank's move of (places):";
    grid->addWidget(new QLabel(QString::fromLatin1(moveCaption), this), row, 0);
    movePlaces_ = NumberField("MovePlaces", moveCaption, kMinMovePlaces, kMaxMovePlaces);
    grid->addWidget(movePlaces_, row, 1);
    ++row;
    auto* caLabel = new QLabel(QStringLiteral("Extra CA file:"), this);
    grid->addWidget(caLabel, row, 0);
    caFile_ = new QLineEdit(this);
    caFile_->setObjectName(QStringLiteral("CaFileEdit"));
    caFile_->setPlaceholderText(QStringLiteral("a PEM file, for a service's own certificate"));
    caFile_->setMinimumWidth(caFile_->fontMetrics().horizontalAdvance(caFile_->placeholderText()) +
                             16);
    caLabel->setBuddy(caFile_);
    grid->addWidget(caFile_, row, 1);
    grid->addWidget(OverrideNote(this, "VEXORIN_CA_FILE", "CaFileEdit"), row, 2);
    ++row;
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
    // Where the history lives: this computer's file, or a team's server.
    auto* whereLabel = new QLabel(QStringLiteral("&History:"), this);
    historyWhere_ = new QComboBox(this);
    historyWhere_->setObjectName(QStringLiteral("HistoryWhere"));
    historyWhere_->addItems(
        {QStringLiteral("on this computer"), QStringLiteral("shared (PostgreSQL)")});
    whereLabel->setBuddy(historyWhere_);
    historyUrl_ = new QLineEdit(this);
    historyUrl_->setObjectName(QStringLiteral("HistoryUrl"));
    historyUrl_->setAccessibleName(QStringLiteral("Shared history URL"));
    historyUrl_->setPlaceholderText(
        QStringLiteral("postgresql://user@host:5432/db?sslmode=verify-full"));
    historyUrl_->setToolTip(
        QStringLiteral("The password comes from ~/.pgpass, PGPASSWORD or the keyring "
                       "(history_password); it is never kept here"));
    auto* testHistory = new QPushButton(QStringLiteral("Te&st history"), this);
    testHistory->setObjectName(QStringLiteral("TestHistory"));
    auto* whereRow = new QHBoxLayout;
    whereRow->addWidget(historyWhere_);
    whereRow->addWidget(historyUrl_, 1);
    whereRow->addWidget(testHistory);
    grid->addWidget(whereLabel, row, 0);
    grid->addLayout(whereRow, row, 1, 1, 2);
    ++row;
    historyWhereResult_ = new QLabel(this);
    historyWhereResult_->setObjectName(QStringLiteral("HistoryWhereResult"));
    historyWhereResult_->setWordWrap(true);
    grid->addWidget(OverrideNote(this, "VEXORIN_HISTORY_URL", "HistoryUrl"), row, 0);
    grid->addWidget(historyWhereResult_, row, 1, 1, 2);
    ++row;
    connect(historyWhere_, &QComboBox::currentIndexChanged, this, [this](int shared) {
        historyUrl_->setEnabled(shared == 1);
        // Its password is among the secrets to keep.
        CheckServices();
    });
    connect(testHistory, &QPushButton::clicked, this, &TPreferencesForm::TestHistory);
    auto* test = new QPushButton(QStringLiteral("&Test"), this);
    test->setObjectName(QStringLiteral("TestButton"));
    testResult_ = new QLabel(this);
    testResult_->setObjectName(QStringLiteral("TestResult"));
    testResult_->setWordWrap(true);
    // Room for its two lines always, so the window keeps its size as
    // messages come and go.
    testResult_->setMinimumHeight(testResult_->fontMetrics().lineSpacing() * 4);
    testResult_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
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
    // Wide enough for its hint, whole.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->placeholderText()) + 16);
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

QComboBox* TPreferencesForm::ProfileCombo(const char* name, bool suggests) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setEditable(true);
    combo->addItem(QStringLiteral("classic"));
    for (const auto& [profile, p] : LoadServiceProfiles(ProfileFolders()))
        if (p.error.empty() && (suggests ? p.suggests : p.searches))
            combo->addItem(ToQString(profile), ToQString(p.description));
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemData(i, combo->itemData(i), Qt::ToolTipRole);
    return combo;
}

namespace {
std::string ChoiceText(const QComboBox* combo) {
    const std::string text = ToBytes(combo->currentText().trimmed());
    return text == "classic" ? std::string() : text;
}
}  // namespace

void TPreferencesForm::CheckServices() {
    const auto choice = [](const QComboBox* combo) -> std::optional<ServiceChoice> {
        const std::string text = ChoiceText(combo);
        if (text.empty()) return std::nullopt;
        return ParseServiceChoice(text);
    };
    const std::vector<std::string> folders = ProfileFolders();
    const auto profiles = LoadServiceProfiles(folders);
    const auto suggest = choice(suggestProfile_), search = choice(searchProfile_);
    // The secrets the chosen profiles need, listed to be kept.
    const QString was = secretName_->currentText();
    secretName_->clear();
    for (const auto& c : {suggest, search}) {
        if (!c) continue;
        if (const auto it = profiles.find(c->name); it != profiles.end())
            for (const std::string& secret : it->second.secrets)
                if (secretName_->findText(ToQString(secret)) < 0)
                    secretName_->addItem(ToQString(secret));
    }
    if (historyWhere_->currentIndex() == 1)
        secretName_->addItem(QStringLiteral("history_password"));
    if (const int at = secretName_->findText(was); at >= 0) secretName_->setCurrentIndex(at);
    // Nothing to keep for services that need no secret.
    const bool secrets = secretName_->count() > 0;
    for (QWidget* w : {static_cast<QWidget*>(secretName_), static_cast<QWidget*>(secretValue_),
                       findChild<QWidget*>(QStringLiteral("KeepSecret"))})
        if (w) w->setEnabled(secrets);
    QString note;
    if ((!ChoiceText(suggestProfile_).empty() && !suggest) ||
        (!ChoiceText(searchProfile_).empty() && !search)) {
        note = QStringLiteral("Write a profile's name, optionally followed by @ and its URL.");
    } else if (suggest || search) {
        const ChosenSources chosen = ChooseSources(
            suggest, search, profiles,
            [this](const std::string& name) { return secrets_.Find(name); },
            ShippedSecretHomes(folders));
        note = chosen.error.empty() ? QStringLiteral("Ready.") : ToQString(chosen.error);
    }
    servicesNote_->setText(note);
    suggestProfile_->setAccessibleDescription(note);
    searchProfile_->setAccessibleDescription(note);
}

void TPreferencesForm::KeepSecret() {
    const std::string name = ToBytes(secretName_->currentText());
    if (name.empty()) {
        secretResult_->setText(QStringLiteral("The chosen services need no secret."));
        return;
    }
    std::string error;
    const bool kept = StoreSecret(name, ToBytes(secretValue_->text()), ServersOf(name), &error);
    secrets_.Forget(name);
    const bool cleared = secretValue_->text().isEmpty();
    secretValue_->clear();
    secretResult_->setText(kept ? (cleared ? QStringLiteral("Removed from the keyring.")
                                           : QStringLiteral("Kept in the keyring."))
                                : QStringLiteral("Could not reach the keyring: ") +
                                      ToQString(error));
    CheckServices();
}

std::string TPreferencesForm::ServersOf(const std::string& secret) const {
    if (secret == "history_password")
        return HistoryPasswordServer(ToBytes(historyUrl_->text().trimmed()));
    const auto profiles = LoadServiceProfiles(ProfileFolders());
    std::string servers;
    for (const QComboBox* combo : {suggestProfile_, searchProfile_}) {
        const auto choice = ParseServiceChoice(ChoiceText(combo));
        const auto it = choice ? profiles.find(choice->name) : profiles.end();
        if (it == profiles.end()) continue;
        const auto& needs = it->second.secrets;
        if (std::find(needs.begin(), needs.end(), secret) == needs.end()) continue;
        ServiceProfile profile = it->second;
        if (!choice->base.empty()) profile.base = choice->base;
        servers += (servers.empty() ? "" : " ") + SecretServers(profile);
    }
    return servers;
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
    p.suggestService = ChoiceText(suggestProfile_);
    p.searchService = ChoiceText(searchProfile_);
    p.connectSeconds = connect_->value();
    p.silenceSeconds = silence_->value();
    p.fetchSeconds = fetch_->value();
    p.parallel = parallel_->value();
    p.retries = retries_->value();
    p.movePlaces = movePlaces_->value();
    p.keepHistory = keepHistory_->isChecked();
    p.caFile = ToBytes(caFile_->text().trimmed());
    if (historyWhere_->currentIndex() == 1) p.historyUrl = ToBytes(historyUrl_->text().trimmed());
    return p;
}

void TPreferencesForm::SetValues(const Preferences& p) {
    // Each opening starts clean: no word left from an earlier Test or keep.
    for (QLabel* result : {testResult_, secretResult_, historyResult_}) result->clear();
    caFile_->setText(ToQString(p.caFile));
    suggest_->setText(ToQString(p.suggestHost));
    search_->setText(ToQString(p.searchHost));
    suggestProfile_->setCurrentText(p.suggestService.empty() ? QStringLiteral("classic")
                                                             : ToQString(p.suggestService));
    searchProfile_->setCurrentText(p.searchService.empty() ? QStringLiteral("classic")
                                                           : ToQString(p.searchService));
    CheckServices();
    connect_->setValue(p.connectSeconds);
    silence_->setValue(p.silenceSeconds);
    fetch_->setValue(p.fetchSeconds);
    parallel_->setValue(p.parallel);
    retries_->setValue(p.retries);
    movePlaces_->setValue(p.movePlaces);
    keepHistory_->setChecked(p.keepHistory);
    historyWhere_->setCurrentIndex(IsSharedHistoryUrl(p.historyUrl) ? 1 : 0);
    historyUrl_->setText(ToQString(p.historyUrl));
    historyUrl_->setEnabled(historyWhere_->currentIndex() == 1);
    historyWhereResult_->clear();
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
        OpenHistory(HistoryWhere(Values()), true)->Clear();
        historyResult_->setText(QStringLiteral("History cleared"));
    } catch (const std::exception& e) {
        historyResult_->setText(QStringLiteral("Could not clear the history: ") +
                                QString::fromLocal8Bit(e.what()));
    }
}

void TPreferencesForm::TestHistory() {
    const Preferences p = Values();
    if (!IsSharedHistoryUrl(p.historyUrl)) {
        historyWhereResult_->setText(
            historyWhere_->currentIndex() == 1
                ? QStringLiteral("A shared history's URL begins with postgresql://")
                : QStringLiteral("The history is this computer's file: nothing to reach"));
        return;
    }
    // On a thread of its own: a server that does not answer must not hold
    // the dialog for the connect's bound. Read only: a test makes no tables.
    historyWhereResult_->setText(QStringLiteral("Testing\u2026"));
    const quint64 ticket = ++historyTest_;
    QPointer<TPreferencesForm> self(this);
    std::thread([self, url = p.historyUrl, ticket] {
        QString said;
        try {
            const size_t runs = OpenHistory(url, false)->Runs().size();
            said = QStringLiteral("Reached: %1 runs in it").arg(runs);
        } catch (const std::exception& e) {
            said = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            qApp,
            [self, ticket, said] {
                if (self && self->historyTest_ == ticket) self->historyWhereResult_->setText(said);
            },
            Qt::QueuedConnection);
    }).detach();
}

void TPreferencesForm::TestServices() {
    if (testCancel_) testCancel_->Cancel();
    if (testThread_.joinable()) testThread_.join();
    testCancel_ = std::make_shared<CancelSignal>();
    const Preferences p = Values();
    const ServiceHosts hosts = ServiceHostsFor(p);
    const NetLimits limits = NetLimitsFor(p);
    const ChosenSources sources = ChooseServices(std::nullopt, std::nullopt, p);
    if (!sources.error.empty()) {
        testResult_->setText(ToQString(sources.error));
        return;
    }
    testResult_->setText(QStringLiteral("Testing\u2026"));
    testThread_ = std::thread([this, hosts, limits, sources, cancel = testCancel_] {
        const QString suggest = sources.suggest
                                    ? TestSuggestionSource(*sources.suggest, limits, cancel)
                                    : TestOne(hosts.suggest, true, limits, cancel);
        const QString search = sources.search ? TestSearchSource(*sources.search, limits, cancel)
                                              : TestOne(hosts.search, false, limits, cancel);
        const QString text =
            QStringLiteral("Suggestion service: %1\nSearch service: %2").arg(suggest, search);
        if (cancel->Cancelled()) return;
        // Delivered on the GUI thread; dropped if the form is gone by then.
        QMetaObject::invokeMethod(
            this, [this, text] { testResult_->setText(text); }, Qt::QueuedConnection);
    });
}

}  // namespace vx::ui
