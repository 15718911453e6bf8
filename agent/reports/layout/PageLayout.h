#pragma once

#include "agent/reports/model/Template.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// One positioned thing on a page, in mm from the paper's top-left corner. Kept small: a 32,767-row
// report has a few hundred thousand of these.
struct PageItem {
    ItemKind kind = ItemKind::Text;
    bool hidden = false; // a conditional-formatting rule hides it on this row
    int32_t style = 0;
    float x = 0, y = 0, w = 0, h = 0;
    uint32_t textOffset = 0, textLength = 0; // into Page::text; lines separated by '\n'
    const Item* source = nullptr;            // template item (images, barcodes)
};

// What happened on a page, for tests and diagnostics.
struct PageInfo {
    int firstRow = -1, lastRow = -1; // 0-based, -1 if no detail row on the page
    bool columnHeader = false;
    std::vector<std::string> events; // "column header repeated", "group 'Acme' continues", ...
};

struct Page {
    std::vector<PageItem> items;
    std::string text;
    PageInfo info;
    std::string_view textOf(const PageItem& item) const {
        return std::string_view(text).substr(item.textOffset, item.textLength);
    }
};

struct LaidOutReport {
    double pageWidth = 210, pageHeight = 297; // mm, orientation applied
    std::vector<Page> pages;
    std::string error; // why the report cannot be laid out (a limit of LayoutLimits.h); no pages then
    std::vector<std::string> warnings; // values that could not be computed, each once
};

// "page 1: rows 1-30, column header, footer 'Acme'\npage 2: ..." (rows counted from 1).
std::string DescribePages(const LaidOutReport& report);

} // namespace verolux::reports
