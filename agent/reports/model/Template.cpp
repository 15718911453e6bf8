#include "agent/reports/model/Template.h"

#include "agent/reports/model/StyleKeys.h"

#include <unordered_map>

namespace verolux::reports {

TextStyle BuiltInStyle() {
    TextStyle st;
    st.fontFamily = "WenQuanYi Micro Hei";
    return st;
}

Template::Template() {
    styles.push_back(BuiltInStyle());
    styles[0].name = "default";
}

int Template::findStyle(const std::string& name) const {
    for (size_t i = 0; i < styles.size(); ++i)
        if (!styles[i].name.empty() && styles[i].name == name) return static_cast<int>(i);
    return -1;
}

void CopyStyleKeys(uint32_t keys, const TextStyle& from, TextStyle& to) {
    for (const StyleKeyInfo& key : kStyleKeys)
        if (keys & key.bit) std::visit([&](auto m) { StyleField(to, m) = StyleField(from, m); }, key.member);
}

bool StyleKeyDiffers(const StyleKeyInfo& key, const TextStyle& a, const TextStyle& b) {
    return std::visit([&](auto m) { return StyleField(a, m) != StyleField(b, m); }, key.member);
}

uint32_t DifferingStyleKeys(const TextStyle& a, const TextStyle& b) {
    uint32_t k = 0;
    for (const StyleKeyInfo& key : kStyleKeys)
        if (StyleKeyDiffers(key, a, b)) k |= key.bit;
    return k;
}

int ResolveStyles(Template& tmpl) {
    auto& styles = tmpl.styles;
    std::unordered_map<std::string_view, int> byName;
    for (size_t i = 0; i < styles.size(); ++i)
        if (!styles[i].name.empty()) byName.emplace(styles[i].name, int(i));
    enum State : uint8_t { Todo, Busy, Done };
    std::vector<State> state(styles.size(), Todo);
    constexpr int kBuiltIn = -1;
    const TextStyle builtIn = BuiltInStyle();

    // Walks up the chain of `first` to a resolved style (or the built-in one), then resolves back down.
    // Iterative: a chain may be as long as the file has styles.
    auto resolve = [&](size_t first, bool fromBuiltIn) -> int {
        std::vector<size_t> chain;
        int top = kBuiltIn;
        for (size_t i = first;;) {
            if (state[i] == Done) {
                top = int(i);
                break;
            }
            if (state[i] == Busy) return int(i);
            state[i] = Busy;
            chain.push_back(i);
            const std::string& base = styles[i].base;
            if (base.empty()) {
                if (i == 0 || fromBuiltIn) break;
                i = 0;
                continue;
            }
            auto at = byName.find(base);
            if (at == byName.end()) return int(i);
            i = size_t(at->second);
        }
        for (auto k = chain.rbegin(); k != chain.rend(); ++k) {
            TextStyle& st = styles[*k];
            CopyStyleKeys(~st.own, top == kBuiltIn ? builtIn : styles[size_t(top)], st);
            state[*k] = Done;
            top = int(*k);
        }
        return -1;
    };
    if (styles.empty()) return -1;
    if (int bad = resolve(0, true); bad >= 0) return bad;
    for (size_t i = 1; i < styles.size(); ++i)
        if (int bad = resolve(i, false); bad >= 0) return bad;
    return -1;
}

double ColumnWidth(const Columns& columns, const PageSetup& page) {
    if (columns.width > 0) return columns.width;
    const int n = columns.count > 1 ? columns.count : 1;
    const double room = page.pageWidth() - page.marginLeft - page.marginRight;
    return (room - (n - 1) * columns.spacing) / n;
}

bool PaperSize(const std::string& paper, double& width, double& height) {
    struct Paper {
        const char* name;
        double w, h;
    };
    static const Paper papers[] = {
        {"A3", 297, 420}, {"A4", 210, 297},         {"A5", 148, 210},
        {"B5", 176, 250}, {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6},
    };
    for (const auto& p : papers) {
        if (paper == p.name) {
            width = p.w;
            height = p.h;
            return true;
        }
    }
    return false;
}

} // namespace verolux::reports
