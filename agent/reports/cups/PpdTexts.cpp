#include "agent/reports/cups/PpdTexts.h"

namespace verolux::cups {
namespace {

// The quoted string starting at text[i] (at the quote), with \" and \\ taken as the character.
std::string Quoted(std::string_view text, std::size_t* i) {
    std::string out;
    for (++*i; *i < text.size() && text[*i] != '"'; ++*i) {
        if (text[*i] == '\\' && *i + 1 < text.size()) ++*i;
        out += text[*i];
    }
    ++*i;
    return out;
}

// "zh_CN" ranks before "zh_TW" before "zh"; 0 for any other language.
int ChineseRank(std::string_view language) {
    if (language == "zh_CN") return 3;
    if (language == "zh_TW") return 2;
    if (language == "zh") return 1;
    return 0;
}

} // namespace

std::map<std::string, std::string> ReadStringsFile(std::string_view text) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = std::min(text.find('\n', i), text.size());
        std::size_t at = text.find('"', i);
        if (at < end) {
            std::string key = Quoted(text, &at);
            at = text.find('"', at);
            if (at < end) out[std::move(key)] = Quoted(text, &at);
        }
        i = end + 1;
    }
    return out;
}

std::map<std::string, PpdChoiceText> ReadPpdChoices(std::string_view ppd, std::string_view keyword) {
    std::map<std::string, PpdChoiceText> out;
    std::map<std::string, int> rank; // of the Chinese text taken so far
    bool chinesePpd = false;
    std::size_t i = 0;
    while (i < ppd.size()) {
        const std::size_t end = std::min(ppd.find('\n', i), ppd.size());
        std::string_view line = ppd.substr(i, end - i);
        i = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("*LanguageVersion:")) {
            chinesePpd = line.find("Chinese") != std::string_view::npos;
            continue;
        }
        if (!line.starts_with('*')) continue;
        // *[lang.]Keyword Choice/Text: value
        const std::size_t space = line.find(' ');
        const std::size_t colon = line.find(':');
        if (space == std::string_view::npos || colon == std::string_view::npos || colon < space) continue;
        std::string_view main = line.substr(1, space - 1);
        std::string_view language;
        if (const std::size_t dot = main.find('.'); dot != std::string_view::npos) {
            language = main.substr(0, dot);
            main = main.substr(dot + 1);
        }
        if (main != keyword) continue;
        const std::string_view option = line.substr(space + 1, colon - space - 1);
        const std::size_t slash = option.find('/');
        const std::string choice(option.substr(0, slash));
        const std::string text(slash == std::string_view::npos ? std::string_view()
                                                               : option.substr(slash + 1));
        if (choice.empty()) continue;
        if (language.empty()) {
            out[choice].text = text;
            if (chinesePpd && out[choice].chinese.empty()) out[choice].chinese = text;
        } else if (const int r = ChineseRank(language); r > rank[choice] && !text.empty()) {
            rank[choice] = r;
            out[choice].chinese = text;
        }
    }
    return out;
}

} // namespace verolux::cups
