#include "agent/reports/layout/RuleStyles.h"

#include "agent/reports/model/TemplateNames.h"

namespace verolux::reports {

namespace {

template <class T, class F> void ForEachItem(T& tmpl, F f) {
    for (const auto& b : kBandNames)
        for (auto& it : (tmpl.*(b.value)).items)
            f(it);
    for (auto& g : tmpl.groups) {
        for (auto& it : g.header.items)
            f(it);
        for (auto& it : g.footer.items)
            f(it);
    }
}

} // namespace

bool AddRuleStyles(Template& tmpl) {
    bool any = false;
    ForEachItem(tmpl, [&](Item& it) {
        const int base = it.style >= 0 && size_t(it.style) < tmpl.styles.size() ? it.style : 0;
        for (const StyleRule& rule : it.rules) {
            const int overlay = rule.style.empty() ? -1 : tmpl.findStyle(rule.style);
            if (overlay < 0) continue;
            any = true;
            bool known = false;
            for (const auto& d : tmpl.derivedStyles)
                known = known || (d.base == base && d.rule == overlay);
            if (known) continue;
            TextStyle st = tmpl.styles[size_t(base)];
            CopyStyleKeys(tmpl.styles[size_t(overlay)].own & kRuleStyleKeys, tmpl.styles[size_t(overlay)],
                          st);
            st.name.clear();
            tmpl.derivedStyles.push_back({base, overlay, static_cast<int>(tmpl.styles.size())});
            tmpl.styles.push_back(std::move(st));
        }
    });
    return any;
}

bool HasStyledRules(const Template& tmpl) {
    bool any = false;
    ForEachItem(tmpl, [&](const Item& it) {
        for (const StyleRule& rule : it.rules)
            any = any || !rule.style.empty();
    });
    return any;
}

int RuleStyle(const Template& tmpl, int itemStyle, const StyleRule& rule) {
    if (rule.style.empty() || tmpl.derivedStyles.empty()) return itemStyle;
    const int overlay = tmpl.findStyle(rule.style);
    for (const auto& d : tmpl.derivedStyles)
        if (d.base == itemStyle && d.rule == overlay) return d.derived;
    return itemStyle;
}

} // namespace verolux::reports
