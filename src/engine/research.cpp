#include "engine/research.h"

#include "core/text.h"
#include "engine/metrics.h"
#include "engine/page_text.h"

namespace vx {

Research::Research(ResearchContext context) : ctx_(std::move(context)) {}

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

void Research::ReportProgress(int rowsDone, int pagesSearched) {
    ctx_.status.ShowProgress({rowsDone, ctx_.inputs.ResultCount(), pagesSearched});
}

std::string Research::SearchUrl(const std::string& phrase) const {
    return "http://" + ctx_.hosts.search + "/search?p=%22" + phrase + "%22";
}

std::string Research::SuggestionUrl(const std::string& keyword) const {
    std::string term = ReplaceAllNoCase(keyword, "\"", "");
    term = ReplaceAllNoCase(EncodeUrlSpecials(term), " ", "%20");
    return "http://" + ctx_.hosts.suggest + "/d/searchinventory/suggestion/?term=" + term +
           "&mkt=us&lang=en_US";
}

FetchedPage Research::Fetch(Service service, const std::string& url) {
    if (!gaveUp_.empty()) return {};
    FetchedPage page = ctx_.fetch(url);
    int& failures = failuresInRow_[service];
    failures = page.answered ? 0 : failures + 1;
    // One suggestion request a run: nothing to try again.
    if (failures >= (service == kSuggest ? 1 : kFailuresBeforeGivingUp)) {
        gaveUp_ = std::string("The ") + (service == kSuggest ? "suggestion" : "search") +
                  " service at " + (service == kSuggest ? ctx_.hosts.suggest : ctx_.hosts.search) +
                  " is not answering.";
        ctx_.status.SetStatusText(gaveUp_);
    }
    return page;
}

void Research::RunInvestigation(const std::string& keyword) {
    // A stop left from before the run is the walk's to clear; only one made
    // while the suggestions arrive ends the run.
    const bool stoppedBefore = ctx_.stop.Requested();
    ctx_.status.SetStatusText(keyword);
    Pump();
    const std::string page = Fetch(kSuggest, SuggestionUrl(keyword)).body;
    Pump();
    // Stop or Escape while the suggestions arrive ends the run here: a page
    // cut short is no list of suggestions, and the table keeps what it held.
    // So does a suggestion service that does not answer.
    if ((ctx_.stop.Requested() && !stoppedBefore) || ctx_.keys.EscapeDown() || !gaveUp_.empty())
        return;
    FillResultsFromSuggestions(page);
}

void Research::FillResultsFromSuggestions(const std::string& page) {
    ctx_.stop.Clear();
    ResultsTable& table = ctx_.table;
    table.Clear();
    // The walk moves a view along the lowered page; nothing is copied per row.
    const std::string lowered = LowerAscii(page);
    std::string_view rest = lowered;
    if (const long done = Pos(" done ", rest); done > 0) rest = FromView(rest, done);
    long cellEnd = Pos("</td>", rest);
    const char sep = ctx_.decimalSeparator;
    while (cellEnd > 0) {
        long cellStart = Pos("<td>", rest);
        cellEnd = Pos("</td>", rest);
        const std::string demand = ExtractDemandCell(Copy(rest, cellStart, cellEnd - cellStart));
        const RowId row = table.Append();
        ReportProgress(table.Count() - 1, 0);
        table.AppendColumn(row, demand);
        rest = FromView(rest, cellEnd + 5);

        cellStart = Pos("<td>", rest);
        cellEnd = Pos("</td>", rest);
        Pump();
        const std::string term = ExtractTermCell(Copy(rest, cellStart, cellEnd - cellStart));
        table.SetKeyTerm(row, term);
        Pump();

        const std::string competition = LookupCompetition(term);
        table.AppendColumn(row, competition);
        table.AppendColumn(row, FormatCostPerProspect(competition, demand, sep));
        Pump();

        const std::string depthText = ctx_.inputs.PageDepthText();
        const std::string target = NormalizeTargetSite(ctx_.inputs.TargetSite());
        const auto depth = ReadWholeNumber(depthText);
        const std::string rank = depth ? FindRank(term, target, *depth) : "-";
        table.AppendColumn(row, rank);
        const std::string profitability = FormatProfitability(competition, rank, sep);
        table.AppendColumn(row, profitability);
        const std::string percent = profitability == kUnknown
                                        ? profitability
                                        : profitability.substr(0, profitability.size() - 1);
        table.AppendColumn(row, EstimateProspects(demand, percent, sep));
        table.SetChecked(row, true);
        ReportProgress(table.Count(), 0);
        if (!depth) throw ResearchFault("'" + depthText + "' is not a valid integer value");

        rest = FromView(rest, Pos("</td>", rest) + 5);
        cellEnd = Pos("</td>", rest);
        Pump();
        if (!gaveUp_.empty()) break;
        if (ctx_.keys.EscapeDown()) break;
        if (ctx_.stop.Requested()) break;
        if (table.Count() >= ctx_.inputs.ResultCount()) break;
    }
}

std::string Research::LookupCompetition(const std::string& keyTerm) {
    ctx_.status.SetStatusText(keyTerm);
    Pump();
    const std::string phrase = SearchPhrase(keyTerm);
    if (phrase.empty()) return "";
    if (!gaveUp_.empty()) return kUnknown;
    std::string page = Fetch(kSearch, SearchUrl(phrase)).body;
    LowerAsciiInPlace(page);
    Pump();
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
    Pump();
    count = StripNumberSeparators(count);
    // A count of digits beyond 64 bits is no count we can use.
    if (count.find_first_not_of("0123456789") == std::string::npos && !ReadWholeNumber64(count))
        return kUnknown;
    return count;
}

std::string Research::FindRank(const std::string& keyTerm, const std::string& targetSite,
                               int pageDepth) {
    const std::string phrase = SearchPhrase(keyTerm);
    const std::string target = LowerAscii(targetSite);
    if (phrase.empty() || target.empty()) return "-";
    const long long lastStart = static_cast<long long>(pageDepth) * kResultsPerPage;
    long long pageStart = 1;
    if (pageStart > lastStart) return "-";
    std::string result;
    // A page that failed (nothing, an error status, cut short) may have held
    // the site; one cut by the stop request that ends the search does not
    // count.
    bool failed = false, failedBefore = false;
    int pagesSearched = 0;
    do {
        if (!gaveUp_.empty()) {
            failed = true;
            break;
        }
        FetchedPage fetched =
            Fetch(kSearch, SearchUrl(phrase) + "&ei=UTF-8&n=" + std::to_string(kResultsPerPage) +
                               "&fl=0&b=" + std::to_string(pageStart));
        std::string& page = fetched.body;
        LowerAsciiInPlace(page);
        ReportProgress(ctx_.table.Count() - 1, ++pagesSearched);
        failedBefore = failed;
        failed = failed || !fetched.complete;
        Pump();
        if (Pos(target, page) == 0) {
            pageStart += kResultsPerPage;
            Pump();
        } else {
            result = std::to_string(pageStart + ItemIndexOf(target, page));
        }
        Pump();
        if (ctx_.keys.EscapeDown() || ctx_.stop.Requested()) {
            failed = failedBefore;
            break;
        }
        if (!result.empty()) break;
    } while (pageStart <= lastStart);
    if (!result.empty()) return result;
    // "-" says every page searched came back and the site is not on them.
    return failed ? kUnknown : "-";
}

}  // namespace vx
