#pragma once

// What the pagination tests share: templates from JSON text, pages laid out with the hand-computable
// measurer, and the texts placed on a page.
#include "tests/reports/engine/FixedMeasurer.h"

#include "agent/reports/layout/Paginator.h"
#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

inline verolux::reports::Template LoadTemplateText(const std::string& json) {
    auto r = verolux::reports::ParseTemplate(json);
    EXPECT_TRUE(r) << r.error;
    return r ? *r.tmpl : verolux::reports::Template{};
}

inline verolux::reports::LaidOutReport LayOut(const verolux::reports::Template& t,
                                              const verolux::reports::ReportData& d) {
    FixedMeasurer m(t);
    return verolux::reports::Paginate(t, d, m);
}

// All texts of a page, in the order they were placed.
inline std::vector<std::string> PageTexts(const verolux::reports::Page& p) {
    std::vector<std::string> out;
    for (const auto& it : p.items)
        if (it.kind == verolux::reports::ItemKind::Text) out.emplace_back(p.textOf(it));
    return out;
}

inline bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Nothing of a page's body reaches below `bottom`, where the page footer stands.
inline void ExpectBodyAbove(const verolux::reports::LaidOutReport& r, float bottom) {
    for (const auto& p : r.pages)
        for (const auto& it : p.items)
            EXPECT_TRUE(it.y >= bottom || it.y + it.h <= bottom + 1e-3f) << p.textOf(it);
}
