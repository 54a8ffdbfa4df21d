#include "sources/json_answer.h"

#include <cmath>

#include "core/text.h"

namespace vx {

namespace {
// Thrown from the parser's callback to end a parse past a bound: the answer
// is read once, and never held whole past it.
struct PastBound {
    std::string why;
};
}  // namespace

std::string JsonTooLargeWords() {
    return "answered more than " + std::to_string(kMaxJsonBytes / (1024 * 1024)) +
           " MiB of JSON, more than a search answer holds";
}

nlohmann::json ReadJsonAnswer(std::string_view body, std::string* error) {
    error->clear();
    const std::string_view text = TrimView(body, " \t\r\n");
    if (text.size() > kMaxJsonBytes) {
        *error = JsonTooLargeWords();
        return {};
    }
    if (text.empty()) {
        *error = "answered nothing where JSON was expected";
        return {};
    }
    if (text.front() == '<') {
        *error = "answered HTML, not JSON (is the JSON output turned on?)";
        return {};
    }
    size_t values = 0;
    const auto bounds = [&values](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        using Event = nlohmann::json::parse_event_t;
        // An array or object opens one level deeper than its members' depth.
        if ((event == Event::object_start || event == Event::array_start) && depth >= kMaxJsonDepth)
            throw PastBound{"answered JSON nested deeper than " + std::to_string(kMaxJsonDepth) +
                            " levels"};
        if (event == Event::value && ++values > kMaxJsonValues)
            throw PastBound{"answered JSON of more than " + std::to_string(kMaxJsonValues) +
                            " values, more than a search answer holds"};
        return true;
    };
    try {
        nlohmann::json json = nlohmann::json::parse(text.begin(), text.end(), bounds, false);
        if (json.is_discarded()) *error = "answered something that is not JSON";
        return json;
    } catch (const PastBound& past) {
        *error = past.why;
        return {};
    }
}

std::vector<const nlohmann::json*> PointTo(const nlohmann::json& document,
                                           std::string_view pointer) {
    std::vector<const nlohmann::json*> at = {&document};
    if (!pointer.empty() && pointer.front() == '/') pointer.remove_prefix(1);
    if (pointer.empty()) return at;
    while (true) {
        const size_t slash = pointer.find('/');
        std::string step(pointer.substr(0, slash));
        // "~1" is "/" and "~0" is "~", in that order (RFC 6901, 4).
        for (size_t i; (i = step.find("~1")) != std::string::npos;) step.replace(i, 2, "/");
        for (size_t i; (i = step.find("~0")) != std::string::npos;) step.replace(i, 2, "~");
        std::vector<const nlohmann::json*> next;
        for (const nlohmann::json* value : at) {
            if (step == "*" && (value->is_array() || value->is_object())) {
                for (const auto& element : *value) next.push_back(&element);
            } else if (value->is_object()) {
                if (const auto it = value->find(step); it != value->end()) next.push_back(&*it);
            } else if (value->is_array()) {
                const auto index = ReadWholeNumber(step);
                if (index && step.find_first_not_of("0123456789") == std::string::npos &&
                    static_cast<size_t>(*index) < value->size())
                    next.push_back(&(*value)[static_cast<size_t>(*index)]);
            }
        }
        at = std::move(next);
        if (slash == std::string_view::npos || at.empty()) return at;
        pointer.remove_prefix(slash + 1);
    }
}

std::string ReadTextList(const nlohmann::json& document, std::string_view pointer,
                         std::vector<std::string>* texts) {
    // Where the last "each element" step is, the list is checked for being
    // one and each element for holding a text where the rest points.
    const size_t star = pointer.rfind("/*");
    const bool last = star != std::string_view::npos && star + 2 == pointer.size();
    if (star != std::string_view::npos && (last || pointer[star + 2] == '/')) {
        const std::string_view rest = pointer.substr(star + 2);
        for (const nlohmann::json* list : PointTo(document, pointer.substr(0, star))) {
            if (!list->is_array())
                return "answered results that are no list (" +
                       std::string(pointer.substr(0, star)) + ")";
            for (const nlohmann::json& element : *list) {
                if (!rest.empty() && !element.is_object())
                    return "answered a result that is no object";
                const auto found = PointTo(element, rest);
                if (found.empty()) continue;  // a result without an address
                if (!found.front()->is_string()) return "answered a result address that is no text";
                texts->push_back(found.front()->get<std::string>());
            }
        }
        return {};
    }
    for (const nlohmann::json* text : PointTo(document, pointer)) {
        if (!text->is_string()) return "answered a result address that is no text";
        texts->push_back(text->get<std::string>());
    }
    return {};
}

std::optional<long long> JsonWholeNumber(const nlohmann::json& value) {
    if (value.is_number_unsigned() || value.is_number_integer()) {
        if (value.is_number_unsigned() &&
            value.get<unsigned long long>() > 9'000'000'000'000'000'000ULL)
            return std::nullopt;
        // A count or a number of searches below 0 is no figure.
        if (value.is_number_integer() && value.get<long long>() < 0) return std::nullopt;
        return value.get<long long>();
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (!std::isfinite(d) || d < 0 || d > 9e18 || d != std::floor(d)) return std::nullopt;
        return static_cast<long long>(d);
    }
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (text.empty() || text.find_first_of("+-$xX") != std::string::npos) return std::nullopt;
        const auto n = ReadGroupedWholeNumber(text);
        return n && *n >= 0 ? std::optional<long long>(*n) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace vx
