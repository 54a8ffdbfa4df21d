#include "engine/research.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <system_error>
#include <thread>

#include "core/text.h"
#include "engine/metrics.h"
#include "engine/page_text.h"
#include "results/service_address.h"
#include "results/site.h"

namespace vx {

Research::Research(ResearchContext context) : ctx_(std::move(context)) {
    ctx_.policy.parallel = std::clamp(ctx_.policy.parallel, kMinParallel, kMaxParallel);
    ctx_.policy.retries = std::clamp(ctx_.policy.retries, kMinRetries, kMaxRetries);
    if (!ctx_.fetchAnyThread) ctx_.policy.parallel = 1;
}

Research::~Research() = default;

std::string EncodeUrlSpecials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        // Bytes of non-ASCII text and control bytes never go into the
        // request line as they are.
        if (u >= 0x80 || u < 0x20 || u == 0x7F) {
            constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
            continue;
        }
        switch (c) {
            case '%':
                out += "%25";
                break;
            case '#':
                out += "%23";
                break;
            case '&':
                out += "%26";
                break;
            case '+':
                out += "%2B";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string NormalizeTargetSite(std::string_view site) {
    site = TrimView(site, " \t\r\n");
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (site.size() >= scheme.size() && EqualsNoCase(site.substr(0, scheme.size()), scheme)) {
            site.remove_prefix(scheme.size());
            break;
        }
    }
    while (!site.empty() && site.back() == '/') site.remove_suffix(1);
    return std::string(site);
}

std::string SearchPhrase(std::string_view keyTerm) {
    return ReplaceAllNoCase(EncodeUrlSpecials(keyTerm), " ", "+");
}

long long ItemIndexOf(std::string_view target, std::string_view page) {
    // The item walk by offsets into the page: cutting the page after every
    // item would copy it once per item.
    std::string_view rest(page);
    if (const size_t about = rest.find("of about"); about != std::string_view::npos)
        rest.remove_prefix(about);
    long long item = 0;
    for (size_t a = rest.find("<li>"); a != std::string_view::npos; a = rest.find("<li>")) {
        const size_t next = rest.find("<li>", a + 4);
        // Up to three bytes before the next item; the last item runs to the
        // end of the page, like any other item.
        const std::string_view itemText = next == std::string_view::npos
                                              ? rest.substr(a)
                                              : rest.substr(a, next >= a + 3 ? next - 3 - a : 0);
        if (itemText.find(target) != std::string_view::npos) return item;
        rest.remove_prefix(a + 4);
        ++item;
    }
    return 0;
}

std::vector<std::string> ItemLinks(std::string_view page) {
    // Markers found in a lowered copy; links taken from the page as it is.
    const std::string lowered = LowerAscii(page);
    std::vector<std::string> links;
    size_t from = lowered.find("of about");
    if (from == std::string::npos) from = 0;
    for (size_t a = lowered.find("<li>", from); a != std::string::npos;) {
        const size_t next = lowered.find("<li>", a + 4);
        const size_t end = next == std::string::npos ? lowered.size() : next;
        std::string link;
        if (const size_t href = lowered.find("href=", a); href != std::string::npos && href < end) {
            std::string_view value = page.substr(href + 5, end - href - 5);
            if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
                const char quote = value.front();
                value.remove_prefix(1);
                value = value.substr(0, value.find(quote));
            } else {
                value = value.substr(0, value.find_first_of(" \t\r\n>"));
            }
            link = std::string(value);
        }
        links.push_back(std::move(link));
        a = next;
    }
    return links;
}

// Where a row's lookups run: the calling thread, which pumps events and
// reports each page, or a lookup thread of their own.
class Research::Lane {
  public:
    virtual ~Lane() = default;
    virtual FetchedPage RawFetch(const std::string& url) = 0;
    virtual FetchedPage RawRequest(const ServiceRequest& request) = 0;
    virtual bool StopAsked() = 0;
    virtual void Pump() {}
    virtual void PageSearched() {}
    // Waits ms unless the run is asked to stop first; false when it was.
    bool Wait(int ms) {
        using Clock = std::chrono::steady_clock;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            if (StopAsked()) return false;
            Pump();
            std::this_thread::sleep_for(
                std::min<Clock::duration>(std::chrono::milliseconds(10), until - Clock::now()));
        }
        return !StopAsked();
    }
};

class Research::CallerLane : public Lane {
  public:
    explicit CallerLane(Research& r) : r_(r) {}
    FetchedPage RawFetch(const std::string& url) override { return r_.ctx_.fetch(url); }
    FetchedPage RawRequest(const ServiceRequest& request) override {
        return r_.ctx_.fetchRequest ? r_.ctx_.fetchRequest(request) : FetchedPage();
    }
    bool StopAsked() override { return r_.ctx_.keys.EscapeDown() || r_.ctx_.stop.Requested(); }
    void Pump() override { r_.Pump(); }
    void PageSearched() override { r_.ReportProgress(r_.ctx_.table.Count() - 1, ++pages_); }

  private:
    Research& r_;
    int pages_ = 0;
};

// One row being looked up on a thread of its own. The calling thread owns
// the row; the thread writes the texts it finds under the run's mutex.
struct Research::Lookup {
    RowId row = 0;
    std::string demand, term, target;
    std::optional<int> depth;
    // Written by the lookup thread under mutex_.
    bool competitionFound = false, done = false;
    std::string competition, rank;
    std::vector<TopResult> top;
    int pages = 0;
    std::string fetching;  // the URL of the fetch in flight
    std::chrono::steady_clock::time_point fetchStart;
    // The calling thread's.
    bool competitionShown = false;
    std::thread thread;
};

class Research::LookupLane : public Lane {
  public:
    LookupLane(Research& r, Lookup& lookup) : r_(r), lookup_(lookup) {}
    FetchedPage RawFetch(const std::string& url) override {
        Started(url);
        FetchedPage page = r_.ctx_.fetchAnyThread(url);
        const std::lock_guard lock(r_.mutex_);
        lookup_.fetching.clear();
        return page;
    }
    FetchedPage RawRequest(const ServiceRequest& request) override {
        // Shown while it keeps the run waiting: never with its secrets.
        Started(request.ShownUrl());
        FetchedPage page = r_.ctx_.fetchRequest ? r_.ctx_.fetchRequest(request) : FetchedPage();
        const std::lock_guard lock(r_.mutex_);
        lookup_.fetching.clear();
        return page;
    }
    void Started(const std::string& shown) {
        const std::lock_guard lock(r_.mutex_);
        lookup_.fetching = shown;
        lookup_.fetchStart = std::chrono::steady_clock::now();
    }
    bool StopAsked() override {
        return r_.halt_.load(std::memory_order_acquire) || r_.ctx_.stop.Requested() ||
               r_.ctx_.keys.EscapeDown();
    }
    void PageSearched() override {
        {
            const std::lock_guard lock(r_.mutex_);
            ++lookup_.pages;
        }
        r_.changed_.notify_all();
    }

  private:
    Research& r_;
    Lookup& lookup_;
};

void Research::ReportProgress(int rowsDone, int pagesSearched) {
    RunProgress p{rowsDone, listSize_ > 0 ? listSize_ : ctx_.inputs.ResultCount(), pagesSearched};
    p.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - walkStart_)
                      .count();
    p.pagesPerRow = ReadWholeNumber(ctx_.inputs.PageDepthText()).value_or(0);
    p.rowsAtOnce = ctx_.policy.parallel;
    // The rows left at the pace of the rows done.
    if (rowsDone > 0) p.leftMs = p.elapsedMs * std::max(0, p.rowsWanted - rowsDone) / rowsDone;
    ctx_.status.ShowProgress(p);
}

std::string Research::SearchUrl(const std::string& phrase) const {
    return ServiceBaseUrl(ctx_.hosts.search) + "/search?p=%22" + phrase + "%22";
}

std::string Research::SuggestionUrl(const std::string& keyword) const {
    std::string term = ReplaceAllNoCase(keyword, "\"", "");
    term = ReplaceAllNoCase(EncodeUrlSpecials(term), " ", "%20");
    return ServiceBaseUrl(ctx_.hosts.suggest) + "/d/searchinventory/suggestion/?term=" + term +
           "&mkt=us&lang=en_US";
}

int Research::RetryDelayMs(const LookupPolicy& policy, int attempt, int retryAfterSeconds,
                           double jitter) {
    const double base = policy.backoffMs * static_cast<double>(1LL << std::min(attempt, 20));
    const int backoff = static_cast<int>(base * (1.0 + 0.25 * std::clamp(jitter, -1.0, 1.0)));
    if (retryAfterSeconds < 0) return backoff;
    // Waiting 30 s to be told to wait again helps nobody: fail now.
    if (retryAfterSeconds * 1000LL > policy.retryAfterCapMs) return -1;
    return std::max(backoff, retryAfterSeconds * 1000);
}

namespace {
const char* ServiceName(int service) {
    return service == 0 ? "suggestion" : "search";
}
// "HTTP/1.1 503 Service Unavailable" -> "503 Service Unavailable".
std::string StatusWords(const std::string& statusLine) {
    const size_t space = statusLine.find(' ');
    return space == std::string::npos ? statusLine : statusLine.substr(space + 1);
}
}  // namespace

std::string RunOutcome::Summary() const {
    if (stopped) return "Stopped";
    if (!gaveUp.empty()) return gaveUp;
    if (incompleteRows == 0) return "Done!";
    std::string text = "Done: " + std::to_string(incompleteRows) + " of " + std::to_string(rows) +
                       " rows incomplete";
    for (int s = 0; s < 2; ++s) {
        if (failedFetches[s] == 0) continue;
        text += std::string("; the ") + ServiceName(s) + " service failed " +
                std::to_string(failedFetches[s]) +
                (failedFetches[s] == 1 ? " request" : " requests");
    }
    return text + ".";
}

RunOutcome Research::Outcome() const {
    RunOutcome o;
    o.walked = walked_;
    o.stopped = escapeSeen_ || ctx_.stop.Requested();
    const std::lock_guard lock(mutex_);
    o.gaveUp = gaveUp_;
    o.failedFetches[0] = failuresTotal_[0];
    o.failedFetches[1] = failuresTotal_[1];
    if (!walked_) return o;
    o.rows = ctx_.table.Count();
    for (int i = 0; i < o.rows; ++i) {
        const ResultRow& row = ctx_.table.At(i);
        // What the run looked up and did not get. A demand the service or
        // the list never gave ("?", and the figures made from it) is no hole.
        if (row.Text(colCompetition) == kUnknown || row.Text(colRank) == kUnknown)
            ++o.incompleteRows;
    }
    return o;
}

std::vector<std::string> Research::Notices() const {
    const std::lock_guard lock(mutex_);
    return notices_;
}

void Research::ShowNotices() {
    const std::vector<std::string> all = Notices();
    for (; noticesShown_ < all.size(); ++noticesShown_)
        ctx_.status.SetStatusText(all[noticesShown_]);
}

bool Research::GivenUp() const {
    const std::lock_guard lock(mutex_);
    return !gaveUp_.empty();
}

FetchedPage Research::Fetch(Service service, const std::string& url, Lane& lane) {
    ServiceRequest request;
    request.url = url;
    return Fetch(service, request, lane);
}

FetchedPage Research::Fetch(Service service, const ServiceRequest& request, Lane& lane) {
    const bool sourced =
        service == kSuggest ? ctx_.suggestSource != nullptr : ctx_.searchSource != nullptr;
    using Clock = std::chrono::steady_clock;
    thread_local std::minstd_rand jitter(std::random_device{}());
    FetchedPage page;
    for (int attempt = 0;; ++attempt) {
        if (GivenUp()) return {};
        // A service that asked one lane to wait is not asked by the others.
        Clock::time_point notBefore;
        {
            const std::lock_guard lock(mutex_);
            notBefore = notBefore_[service];
        }
        if (const auto now = Clock::now(); notBefore > now) {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(notBefore - now).count();
            if (!lane.Wait(static_cast<int>(ms) + 1)) return page;
        }
        page = sourced ? lane.RawRequest(request) : lane.RawFetch(request.url);
        if (page.complete || !page.transient || attempt >= ctx_.policy.retries) break;
        const double spread = std::uniform_real_distribution<double>(-1.0, 1.0)(jitter);
        const int delay = RetryDelayMs(ctx_.policy, attempt, page.retryAfterSeconds, spread);
        if (delay < 0) break;
        if (page.retryAfterSeconds >= 0) {
            const std::lock_guard lock(mutex_);
            notBefore_[service] =
                std::max(notBefore_[service], Clock::now() + std::chrono::milliseconds(delay));
        }
        if (!lane.Wait(delay)) break;
    }
    // A fetch the run cut short says nothing about the service.
    if (!page.complete && lane.StopAsked()) return page;
    const std::lock_guard lock(mutex_);
    const std::string& host = service == kSuggest ? ctx_.hosts.suggest : ctx_.hosts.search;
    const std::string who = std::string("The ") + ServiceName(service) + " service at " + host;
    if (!page.problem.empty() && !told_[service]) {
        told_[service] = true;
        notices_.push_back(ShowableText(who + ": " + page.problem));
    }
    // Whatever did not come whole failed. No answer, a cut one, 429 or 5xx
    // count toward giving up: a refusing service is given up on like a
    // silent one.
    int& failures = failuresInRow_[service];
    if (page.complete) {
        failures = 0;
        return page;
    }
    // Ports run dry on this computer (connections closed in the last
    // minute hold theirs): said as such once, and the service is not given
    // up on for it.
    if (page.noLocalPort) {
        if (!toldNoPort_) {
            toldNoPort_ = true;
            notices_.push_back(
                "This computer had no local port free for a new connection (too many closed "
                "in the last minute); rows left incomplete can be looked up again.");
        }
        return page;
    }
    ++failuresTotal_[service];
    // A search API that refuses the credentials will refuse every request:
    // said once, and the run gives up on it. (Suggestions' adapters renew
    // their token first.)
    if (sourced && service == kSearch && (page.status == 401 || page.status == 403)) {
        if (gaveUp_.empty())
            gaveUp_ = ShowableText(
                who + " " + ctx_.searchSource->Refusal(page.status, StatusWords(page.statusLine)) +
                ".");
        return page;
    }
    // A plain refusal (404, a redirect) is an answer: the service is there.
    if (page.status >= 300 && !page.transient) {
        failures = 0;
        return page;
    }
    // How this failure looks, to say so when every one of the row of
    // failures looked the same.
    const std::string how = page.status >= 300 ? "answered " + StatusWords(page.statusLine)
                            : page.answered    ? std::string("gave incomplete answers")
                                               : std::string();
    failedAs_[service] = failures == 0 || failedAs_[service] == how ? how : std::string();
    ++failures;
    // One suggestion request a run: nothing to try again.
    if (gaveUp_.empty() && failures >= (service == kSuggest ? 1 : kFailuresBeforeGivingUp)) {
        if (!page.problem.empty() && page.status == 0) {
            // Its reason, never "not answering" after a certificate failure.
            gaveUp_ = ShowableText(who + ": " + page.problem);
        } else if (failedAs_[service].empty()) {
            gaveUp_ = ShowableText(who + " is not answering.");
        } else if (failures == 1) {
            gaveUp_ = ShowableText(who + " " + failedAs_[service] + ".");
        } else {
            gaveUp_ = ShowableText(who + " " + failedAs_[service] + " to " +
                                   std::to_string(failures) + " requests in a row.");
        }
    }
    return page;
}

std::optional<std::string> Research::SuggestionPage(const std::string& keyword) {
    // A stop left from before the run is the walk's to clear; only one made
    // while the suggestions arrive ends the run.
    const bool stoppedBefore = ctx_.stop.Requested();
    ctx_.status.SetStatusText(keyword);
    Pump();
    CallerLane lane(*this);
    std::string page = Fetch(kSuggest, SuggestionUrl(keyword), lane).body;
    ShowNotices();
    if (GivenUp()) ctx_.status.SetStatusText(gaveUp_);
    Pump();
    // Stop or Escape while the suggestions arrive ends the run here: a page
    // cut short is no list of suggestions, and the table keeps what it held.
    // So does a suggestion service that does not answer.
    if (ctx_.keys.EscapeDown()) escapeSeen_ = true;
    if ((ctx_.stop.Requested() && !stoppedBefore) || escapeSeen_ || GivenUp()) return std::nullopt;
    return page;
}

// Where a run's rows come from, one at a time: a demand, then its term.
class Research::RowSource {
  public:
    virtual ~RowSource() = default;
    virtual bool More() const = 0;
    virtual std::string Demand() = 0;
    virtual std::string Term() const = 0;
    virtual void NextRow() = 0;
};

// The suggestion page's pairs of cells, demand then key term, in order.
class Research::SuggestionRows : public RowSource {
  public:
    explicit SuggestionRows(const std::string& page) : lowered_(LowerAscii(page)) {
        // The walk moves a view along the lowered page; nothing is copied per row.
        rest_ = lowered_;
        if (const long done = Pos(" done ", rest_); done > 0) rest_ = FromView(rest_, done);
        more_ = Pos("</td>", rest_) > 0;
    }
    bool More() const override { return more_; }
    std::string Demand() override {
        const long cellStart = Pos("<td>", rest_), cellEnd = Pos("</td>", rest_);
        std::string demand = ExtractDemandCell(Copy(rest_, cellStart, cellEnd - cellStart));
        rest_ = FromView(rest_, cellEnd + 5);
        return demand;
    }
    std::string Term() const override {
        const long cellStart = Pos("<td>", rest_), cellEnd = Pos("</td>", rest_);
        return ExtractTermCell(Copy(rest_, cellStart, cellEnd - cellStart));
    }
    void NextRow() override {
        rest_ = FromView(rest_, Pos("</td>", rest_) + 5);
        more_ = Pos("</td>", rest_) > 0;
    }

  private:
    std::string lowered_;
    std::string_view rest_;
    bool more_ = false;
};

// An imported list's terms; a term without a demand has an unknown one.
class Research::ListRows : public RowSource {
  public:
    explicit ListRows(const std::vector<ImportedTerm>& terms) : terms_(terms) {}
    bool More() const override { return at_ < terms_.size(); }
    std::string Demand() override {
        return terms_[at_].demand.empty() ? std::string(kUnknown) : terms_[at_].demand;
    }
    std::string Term() const override { return terms_[at_].term; }
    void NextRow() override { ++at_; }

  private:
    const std::vector<ImportedTerm>& terms_;
    size_t at_ = 0;
};

void Research::RunInvestigation(const std::string& keyword) {
    if (ctx_.suggestSource) {
        if (const auto terms = SourceSuggestions(keyword)) {
            listSize_ = static_cast<int>(terms->size());
            ListRows rows(*terms);
            FillRows(rows, false);
            NoRowsSaid("\"" + keyword + "\"");
        }
        return;
    }
    if (const auto page = SuggestionPage(keyword)) {
        FillResultsFromSuggestions(*page);
        NoRowsSaid("\"" + keyword + "\"");
    }
}

void Research::NoRowsSaid(const std::string& seeds) {
    // A run that researched nothing is never a plain "Done!".
    if (ctx_.table.Count() > 0 || ctx_.stop.Requested() || escapeSeen_) return;
    const std::lock_guard lock(mutex_);
    if (gaveUp_.empty())
        gaveUp_ = ShowableText("The suggestion service at " + ctx_.hosts.suggest +
                               " gave no suggestions for " + seeds + ".");
    ctx_.status.SetStatusText(gaveUp_);
}

void Research::NoteAnswerFault(Service service, const std::string& fault) {
    // Once a kind of fault: its words before any detail in brackets.
    Notice(service, fault, fault.substr(0, fault.find(" (")));
}

void Research::Notice(Service service, const std::string& words, const std::string& kind) {
    const std::lock_guard lock(mutex_);
    if (!toldOnce_[service].insert(kind.empty() ? words : kind).second) return;
    const std::string& host = service == kSuggest ? ctx_.hosts.suggest : ctx_.hosts.search;
    // A service's own words may end their sentence already.
    notices_.push_back(ShowableText(std::string("The ") + ServiceName(service) + " service at " +
                                    host + " " + words + (words.ends_with('.') ? "" : ".")));
}

std::optional<std::vector<ImportedTerm>> Research::SourceSuggestions(const std::string& keyword) {
    const bool stoppedBefore = ctx_.stop.Requested();
    ctx_.status.SetStatusText(keyword);
    Pump();
    CallerLane lane(*this);
    SuggestionSource& source = *ctx_.suggestSource;
    source.Begin(keyword, ctx_.inputs.ResultCount());
    // A service that pages on and on gets a bounded number of asks.
    constexpr int kMostRequests = 20;
    for (int asked = 0; asked < kMostRequests; ++asked) {
        const auto request = source.Next();
        if (!request) break;
        const FetchedPage page = Fetch(kSuggest, *request, lane);
        ShowNotices();
        Pump();
        if (ctx_.keys.EscapeDown()) escapeSeen_ = true;
        if ((ctx_.stop.Requested() && !stoppedBefore) || escapeSeen_) return std::nullopt;
        if (!GivenUp()) {
            const std::string fault =
                source.Read({page.status, page.complete, page.body, page.oversized});
            if (!fault.empty()) {
                const std::lock_guard lock(mutex_);
                gaveUp_ = ShowableText("The suggestion service at " + ctx_.hosts.suggest + " " +
                                       fault + ".");
            }
        }
        if (GivenUp()) {
            ctx_.status.SetStatusText(gaveUp_);
            return std::nullopt;
        }
    }
    return source.Terms();
}

std::optional<std::vector<ImportedTerm>> Research::SeedSuggestions(const std::string& keyword) {
    if (ctx_.suggestSource) return SourceSuggestions(keyword);
    const auto page = SuggestionPage(keyword);
    if (!page) return std::nullopt;
    std::vector<ImportedTerm> suggested;
    for (SuggestionRows rows(*page);
         rows.More() && static_cast<int>(suggested.size()) < ctx_.inputs.ResultCount();
         rows.NextRow()) {
        std::string demand = rows.Demand();
        suggested.push_back({rows.Term(), std::move(demand)});
    }
    return suggested;
}

namespace {
// Profitability without its last character, the "%" (an unknown stays "?").
std::string Percent(const std::string& profitability) {
    return profitability == kUnknown ? profitability
                                     : profitability.substr(0, profitability.size() - 1);
}
}  // namespace

void Research::FillResultsFromSuggestions(const std::string& page) {
    SuggestionRows rows(page);
    FillRows(rows, true);
}

void Research::RunSeeds(const std::vector<std::string>& keywords) {
    if (keywords.size() == 1) return RunInvestigation(keywords.front());
    std::vector<ImportedTerm> merged;
    for (const std::string& keyword : keywords) {
        // Each seed brings the suggestions one research of it would show.
        const auto suggested = SeedSuggestions(keyword);
        if (!suggested) return;
        MergeKeywordLists(merged, *suggested);
    }
    RunList(merged);
    std::string seeds;
    for (const std::string& keyword : keywords)
        seeds += (seeds.empty() ? "\"" : ", \"") + keyword + "\"";
    NoRowsSaid(seeds);
}

void Research::RunList(const std::vector<ImportedTerm>& terms) {
    listSize_ = static_cast<int>(terms.size());
    ListRows rows(terms);
    FillRows(rows, false);
}

void Research::FillRows(RowSource& walk, bool capped) {
    ctx_.stop.Clear();
    walked_ = true;
    walkStart_ = std::chrono::steady_clock::now();
    ResultsTable& table = ctx_.table;
    table.Clear();
    if (ctx_.policy.parallel > 1) return FillInParallel(walk, capped);
    const char sep = ctx_.decimalSeparator;
    while (walk.More()) {
        const std::string demand = walk.Demand();
        const RowId row = table.Append();
        ReportProgress(table.Count() - 1, 0);
        table.AppendColumn(row, demand);
        Pump();
        const std::string term = walk.Term();
        table.SetKeyTerm(row, term);
        Pump();

        const std::string competition = LookupCompetition(term);
        table.AppendColumn(row, competition);
        table.AppendColumn(row, FormatCostPerProspect(competition, demand, sep));
        Pump();

        const std::string depthText = ctx_.inputs.PageDepthText();
        const std::string target = NormalizeTargetSite(ctx_.inputs.TargetSite());
        const auto depth = ReadWholeNumber(depthText);
        std::vector<TopResult> top;
        CallerLane lane(*this);
        const std::string rank = depth ? RankWalk(term, target, *depth, lane, &top) : "-";
        table.SetTop(row, std::move(top));
        table.AppendColumn(row, rank);
        const std::string profitability = FormatProfitability(competition, rank, sep);
        table.AppendColumn(row, profitability);
        table.AppendColumn(row, EstimateProspects(demand, Percent(profitability), sep));
        table.SetChecked(row, true);
        ReportProgress(table.Count(), 0);
        if (!depth) throw ResearchFault("'" + depthText + "' is not a valid integer value");

        walk.NextRow();
        ShowNotices();
        Pump();
        if (GivenUp()) {
            ctx_.status.SetStatusText(gaveUp_);
            break;
        }
        if (ctx_.keys.EscapeDown()) {
            escapeSeen_ = true;
            break;
        }
        if (ctx_.stop.Requested()) break;
        if (capped && table.Count() >= ctx_.inputs.ResultCount()) break;
    }
}

void Research::StartLookup(Lookup& lookup) {
    try {
        StartLookupThread(lookup);
    } catch (const std::system_error&) {
        // No thread to be had: the row is unknown, the run goes on.
        const std::lock_guard lock(mutex_);
        lookup.competition = lookup.rank = kUnknown;
        lookup.competitionFound = lookup.done = true;
    }
}

void Research::StartLookupThread(Lookup& lookup) {
    lookup.thread = std::thread([this, &lookup] {
        LookupLane lane(*this, lookup);
        std::string competition, rank;
        // A fault fails this row, never the run or the process.
        try {
            competition = Competition(lookup.term, lane);
        } catch (...) {
            competition = kUnknown;
        }
        {
            const std::lock_guard lock(mutex_);
            lookup.competition = std::move(competition);
            lookup.competitionFound = true;
        }
        changed_.notify_all();
        std::vector<TopResult> top;
        try {
            rank = lookup.depth ? RankWalk(lookup.term, lookup.target, *lookup.depth, lane, &top)
                                : std::string("-");
        } catch (...) {
            rank = kUnknown;
        }
        {
            const std::lock_guard lock(mutex_);
            lookup.rank = std::move(rank);
            lookup.top = std::move(top);
            lookup.done = true;
        }
        changed_.notify_all();
    });
}

// Fills in what the lookups found, rows in order; finished lookups leave
// the list. True when any of them made the run give up.
bool Research::ShowLookups(std::vector<std::unique_ptr<Lookup>>& running, int& rowsDone) {
    ResultsTable& table = ctx_.table;
    const char sep = ctx_.decimalSeparator;
    int pages = 0;
    std::string waitingFor;
    std::chrono::steady_clock::time_point oldest = std::chrono::steady_clock::time_point::max();
    for (auto it = running.begin(); it != running.end();) {
        Lookup& l = **it;
        std::unique_lock lock(mutex_);
        const bool competitionFound = l.competitionFound, done = l.done;
        pages += l.pages;
        if (!l.fetching.empty() && l.fetchStart < oldest) {
            oldest = l.fetchStart;
            waitingFor = l.fetching;
        }
        lock.unlock();
        if (competitionFound && !l.competitionShown) {
            table.AppendColumn(l.row, l.competition);
            table.AppendColumn(l.row, FormatCostPerProspect(l.competition, l.demand, sep));
            l.competitionShown = true;
        }
        if (!done) {
            ++it;
            continue;
        }
        if (l.thread.joinable()) l.thread.join();
        table.SetTop(l.row, std::move(l.top));
        table.AppendColumn(l.row, l.rank);
        const std::string profitability = FormatProfitability(l.competition, l.rank, sep);
        table.AppendColumn(l.row, profitability);
        table.AppendColumn(l.row, EstimateProspects(l.demand, Percent(profitability), sep));
        table.SetChecked(l.row, true);
        ++rowsDone;
        it = running.erase(it);
    }
    ReportProgress(rowsDone, pages);
    ShowNotices();
    // A fetch that keeps the run waiting is told once a second from 2 s on.
    const int waited = waitingFor.empty()
                           ? -1
                           : static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - oldest)
                                                  .count());
    if (waited >= 2000) {
        if ((waited + 500) / 1000 != waitedTold_) {
            waitedTold_ = (waited + 500) / 1000;
            ctx_.status.ShowWaiting(waitingFor, waitedTold_);
        }
    } else if (waitedTold_ > 0) {
        waitedTold_ = 0;
        ctx_.status.ShowWaiting(waitingFor, -1);
    }
    return GivenUp();
}

void Research::FillInParallel(RowSource& walk, bool capped) {
    ResultsTable& table = ctx_.table;
    std::vector<std::unique_ptr<Lookup>> running;
    // However the run ends, no lookup thread outlives it.
    struct JoinAll {
        Research& r;
        std::vector<std::unique_ptr<Lookup>>& running;
        ~JoinAll() {
            r.halt_.store(true, std::memory_order_release);
            if (!running.empty() && r.ctx_.cancelFetches) r.ctx_.cancelFetches();
            for (auto& l : running)
                if (l->thread.joinable()) l->thread.join();
        }
    } joinAll{*this, running};
    std::optional<std::string> fault;
    bool startMore = true, gaveUp = false;
    int rowsDone = 0;
    while (true) {
        while (startMore && walk.More() &&
               static_cast<int>(running.size()) < ctx_.policy.parallel &&
               (!capped || table.Count() < ctx_.inputs.ResultCount())) {
            auto l = std::make_unique<Lookup>();
            l->demand = walk.Demand();
            l->row = table.Append();
            table.AppendColumn(l->row, l->demand);
            l->term = walk.Term();
            table.SetKeyTerm(l->row, l->term);
            walk.NextRow();
            ctx_.status.SetStatusText(l->term);
            const std::string depthText = ctx_.inputs.PageDepthText();
            l->target = NormalizeTargetSite(ctx_.inputs.TargetSite());
            l->depth = ReadWholeNumber(depthText);
            // The row is completed first, and no other starts.
            if (!l->depth) {
                fault = "'" + depthText + "' is not a valid integer value";
                startMore = false;
            }
            // Held by the list before its thread exists, so the list's
            // guard joins every thread that was started.
            running.push_back(std::move(l));
            StartLookup(*running.back());
            Pump();
        }
        if (running.empty()) break;
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(10));
        }
        Pump();
        if (ctx_.keys.EscapeDown()) {
            escapeSeen_ = true;
            halt_.store(true, std::memory_order_release);
        }
        gaveUp = ShowLookups(running, rowsDone) || gaveUp;
        // Stop, Escape or a service given up on: rows already shown are
        // completed with what they have, and no new row starts.
        if (halt_.load(std::memory_order_acquire) || ctx_.stop.Requested() || gaveUp) {
            if (startMore && !running.empty() && ctx_.cancelFetches) ctx_.cancelFetches();
            startMore = false;
        }
    }
    if (gaveUp) ctx_.status.SetStatusText(gaveUp_);
    if (fault) throw ResearchFault(*fault);
}

std::string Research::LookupCompetition(const std::string& keyTerm) {
    ctx_.status.SetStatusText(keyTerm);
    Pump();
    CallerLane lane(*this);
    return Competition(keyTerm, lane);
}

std::string Research::Competition(const std::string& keyTerm, Lane& lane) {
    if (ctx_.searchSource) return SourceCompetition(keyTerm, lane);
    const std::string phrase = SearchPhrase(keyTerm);
    if (phrase.empty()) return "";
    if (GivenUp()) return kUnknown;
    FetchedPage fetched = Fetch(kSearch, SearchUrl(phrase), lane);
    lane.Pump();
    std::string count = CountOnPage(std::move(fetched.body), fetched.complete);
    lane.Pump();
    return count;
}

std::string Research::CountOnPage(std::string page, bool complete) {
    LowerAsciiInPlace(page);
    std::string count;
    const long at = Pos("of about", page);
    if (at == 0) {
        count = "?";
    } else {
        const std::string window = Copy(page, at, 200);
        const long g = Pos(">", window);
        const long c = Pos("</", window);
        count = Copy(window, g + 1, (c - 1) - g);
    }
    if (count.empty()) count = "0";
    // Part of a page is no count: the number may be cut, or not there yet.
    if (!complete) return kUnknown;
    count = StripNumberSeparators(count);
    // A count of digits beyond 64 bits is no count we can use.
    if (count.find_first_not_of("0123456789") == std::string::npos && !ReadWholeNumber64(count))
        return kUnknown;
    return count;
}

int Research::CountSuggestions(const std::string& page) {
    int n = 0;
    for (SuggestionRows rows(page); rows.More(); rows.NextRow()) {
        rows.Demand();
        if (!rows.Term().empty()) ++n;
    }
    return n;
}

std::string Research::FindRank(const std::string& keyTerm, const std::string& targetSite,
                               int pageDepth) {
    CallerLane lane(*this);
    return RankWalk(keyTerm, targetSite, pageDepth, lane);
}

std::string Research::RankWalk(const std::string& keyTerm, const std::string& targetSite,
                               int pageDepth, Lane& lane, std::vector<TopResult>* top) {
    if (ctx_.searchSource) return SourceRankWalk(keyTerm, targetSite, pageDepth, lane, top);
    const std::string phrase = SearchPhrase(keyTerm);
    const std::string target = LowerAscii(targetSite);
    if (phrase.empty() || target.empty()) return "-";
    const long long lastStart = static_cast<long long>(pageDepth) * kResultsPerPage;
    long long pageStart = 1;
    if (pageStart > lastStart) return "-";
    std::string result;
    // A page that failed (nothing, an error status, cut short) may have held
    // the site.
    bool failed = false;
    do {
        if (GivenUp()) {
            failed = true;
            break;
        }
        FetchedPage fetched =
            Fetch(kSearch,
                  SearchUrl(phrase) + "&ei=UTF-8&n=" + std::to_string(kResultsPerPage) +
                      "&fl=0&b=" + std::to_string(pageStart),
                  lane);
        std::string& page = fetched.body;
        // Who holds the first page's places, read before the page is lowered.
        if (top && pageStart == 1 && fetched.complete) *top = TopResultsOf(ItemLinks(page));
        LowerAsciiInPlace(page);
        lane.PageSearched();
        failed = failed || !fetched.complete;
        lane.Pump();
        if (Pos(target, page) == 0) {
            pageStart += kResultsPerPage;
            lane.Pump();
        } else {
            result = std::to_string(pageStart + ItemIndexOf(target, page));
        }
        lane.Pump();
        if (!result.empty()) break;
        // Cut short by the stop: the pages not searched, or the one the
        // stop cut, may hold the site.
        if (lane.StopAsked()) return pageStart > lastStart && !failed ? "-" : kUnknown;
    } while (pageStart <= lastStart);
    if (!result.empty()) return result;
    // "-" says every page searched came back and the site is not on them.
    return failed ? kUnknown : "-";
}

std::string Research::SourceCompetition(const std::string& keyTerm, Lane& lane) {
    if (TrimView(keyTerm, " \t").empty()) return "";
    if (GivenUp()) return kUnknown;
    const auto read = SourceSearch(ctx_.searchSource->CountRequest(keyTerm), lane);
    // No count (an engine that gives none) is unknown, never 0.
    return read && read->count ? std::to_string(*read->count) : std::string(kUnknown);
}

std::optional<SearchRead> Research::SourceSearch(const ServiceRequest& request, Lane& lane) {
    const FetchedPage fetched = Fetch(kSearch, request, lane);
    lane.Pump();
    if (!fetched.complete) {
        // A refusal the run goes on after (400, 404) is said once in the
        // service's own words; what gives up or is tried again says itself.
        if (fetched.status >= 400 && !fetched.transient && fetched.status != 401 &&
            fetched.status != 403)
            if (const SearchRead refused = ctx_.searchSource->Read(
                    {fetched.status, fetched.complete, fetched.body, fetched.oversized});
                !refused.error.empty())
                NoteAnswerFault(kSearch, refused.error);
        return std::nullopt;
    }
    SearchRead read = ctx_.searchSource->Read(
        {fetched.status, fetched.complete, fetched.body, fetched.oversized});
    if (!read.notice.empty()) Notice(kSearch, read.notice);
    if (!read.error.empty()) {
        NoteAnswerFault(kSearch, read.error);
        // A service that answers what does not read is given up on like one
        // that does not answer: asking it again would only repeat it.
        const std::lock_guard lock(mutex_);
        ++failuresTotal_[kSearch];
        if (++unreadableInRow_[kSearch] >= kFailuresBeforeGivingUp && gaveUp_.empty())
            gaveUp_ = ShowableText("The search service at " + ctx_.hosts.search + " " + read.error +
                                   " to " + std::to_string(unreadableInRow_[kSearch]) +
                                   " requests in a row.");
        return std::nullopt;
    }
    {
        const std::lock_guard lock(mutex_);
        unreadableInRow_[kSearch] = 0;
    }
    return read;
}

std::string Research::SourceRankWalk(const std::string& keyTerm, const std::string& targetSite,
                                     int pageDepth, Lane& lane, std::vector<TopResult>* top) {
    const std::string target = LowerAscii(targetSite);
    if (TrimView(keyTerm, " \t").empty() || target.empty() || pageDepth < 1) return "-";
    const SearchSource& source = *ctx_.searchSource;
    // Places are counted over the results seen, in order; the depth is in
    // results, as for the classic pages, however many an answer holds.
    const long long lastPlace = static_cast<long long>(pageDepth) * kResultsPerPage;
    const long long reach = source.Reach();
    long long held = 0, place = 0;
    // A service may list a result again on a later page (its pages are
    // merged or shift between requests): it holds one place.
    std::set<std::string> seen;
    for (int i = 0; place < lastPlace; ++i) {
        if (reach > 0 && held >= reach) {
            Notice(kSearch, "lists no result past place " + std::to_string(reach) +
                                ", so a rank below it is \"?\"");
            return kUnknown;
        }
        // A list that failed part way leaves every later place unknown.
        if (GivenUp()) return kUnknown;
        const auto read = SourceSearch(source.ResultsRequest(keyTerm, i, held), lane);
        lane.PageSearched();
        if (!read) return kUnknown;
        if (top && i == 0) *top = TopResultsOf(read->urls);
        bool fresh = false;
        for (const std::string& url : read->urls) {
            if (!seen.insert(url).second) continue;
            fresh = true;
            if (++place > lastPlace) return "-";
            if (UrlIsOnSite(url, target)) return std::to_string(place);
        }
        held += static_cast<long long>(read->urls.size());
        // The service has no more results: the site is not among them.
        if (!fresh) return "-";
        if (lane.StopAsked()) return place >= lastPlace ? "-" : kUnknown;
    }
    return "-";
}

}  // namespace vx
