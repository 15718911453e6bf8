#include "agent/reports/layout/Paginator.h"

#include "agent/reports/format/ValueFormat.h"
#include "agent/reports/layout/Expression.h"
#include "agent/reports/layout/TextWrap.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

namespace {

using format::AggregateFunction;
using format::Aggregator;
using format::FieldType;
using format::TypedValue;

constexpr double kEpsilon = 0.001;

struct CompiledBand {
    const Band* band = nullptr;
    BandKind kind = BandKind::Detail;
    int level = -1; // group level of group bands; the innermost level for the detail band
    std::vector<Expression> exprs;
    bool present() const { return band && band->present; }
    double height() const { return present() ? band->height : 0; }
};

struct Context {
    int row = -1;
    int level = -1;
    BandKind kind = BandKind::Detail;
};

struct Instance {
    std::vector<PageItem> items;
    std::string text;
    double height = 0;
    void clear() {
        items.clear();
        text.clear();
        height = 0;
    }
};

// One detail row waiting for its place in a multi-column layout.
struct Cell {
    int row = -1;
    int column = 0;
    double y = 0; // "down" order: offset below the top of the section
    Instance inst;
};

FieldType typeOf(const Declared& d) {
    return format::ParseFieldType(d.type).value_or(FieldType::Text);
}

class Paginator {
  public:
    Paginator(const Template& t, const ReportData& d, TextMeasurer& m) : m_t(t), m_d(d), m_m(m) {}

    LaidOutReport run() {
        prepare();
        m_out.pageWidth = m_t.page.pageWidth();
        m_out.pageHeight = m_t.page.pageHeight();
        const int n = rowCount();
        const int groups = static_cast<int>(m_t.groups.size());

        startPage(true);
        int prev = -1;
        for (int r = 0; r < n; ++r) {
            int level = prev < 0 ? 0 : firstChange(prev, r);
            if (prev >= 0 && level < groups) flushCells(true); // a new group starts a new line of labels
            if (prev >= 0)
                for (int l = groups - 1; l >= level; --l)
                    closeGroup(l, prev);
            for (int l = level; l < groups; ++l)
                openGroup(l, r);
            placeDetail(r);
            prev = r;
        }
        // Columns are balanced only when a band follows on the page; otherwise a partly used label
        // sheet keeps whole columns free.
        bool footers = m_reportFooter.present();
        for (const auto& f : m_groupFooters)
            footers = footers || f.present();
        flushCells(footers);
        if (prev >= 0)
            for (int l = groups - 1; l >= 0; --l)
                closeGroup(l, prev);
        if (m_reportFooter.present()) {
            m_nextRow = -1;
            placeBand(m_reportFooter, Context{n - 1, -1, BandKind::ReportFooter}, 0, true);
            m_page.info.events.push_back("report footer");
        }
        finishPage();
        fillPageCount();
        return std::move(m_out);
    }

  private:
    int rowCount() const { return static_cast<int>(m_d.rows.size()); }

    // ---- set-up ----

    void compile(CompiledBand& cb, const Band& band, BandKind kind, int level) {
        cb.band = &band;
        cb.kind = kind;
        cb.level = level;
        for (const Item& it : band.items) {
            cb.exprs.push_back(it.kind == ItemKind::Text || it.kind == ItemKind::Barcode
                                   ? CompileExpression(it.text, m_t)
                                   : Expression{});
            for (const Segment& s : cb.exprs.back().segments)
                if (s.kind == Segment::Kind::Aggregate && s.index >= 0) useAggregate(s.index);
        }
    }

    void useAggregate(int field) {
        if (m_aggSlot[size_t(field)] >= 0) return;
        m_aggSlot[size_t(field)] = static_cast<int>(m_aggFields.size());
        m_aggFields.push_back(field);
    }

    void prepare() {
        for (const auto& f : m_t.fields)
            m_fieldTypes.push_back(typeOf(f));
        for (const auto& p : m_t.parameters)
            m_paramTypes.push_back(typeOf(p));
        for (size_t i = 0; i < m_t.parameters.size(); ++i) {
            ScalarValue v = i < m_d.parameters.size() ? m_d.parameters[i] : ScalarValue{};
            m_paramValues.push_back(format::ConvertValue(v, m_paramTypes[i]));
        }
        m_aggSlot.assign(m_t.fields.size(), -1);
        const int groups = static_cast<int>(m_t.groups.size());
        compile(m_reportHeader, m_t.reportHeader, BandKind::ReportHeader, -1);
        compile(m_pageHeader, m_t.pageHeader, BandKind::PageHeader, -1);
        compile(m_columnHeader, m_t.columnHeader, BandKind::ColumnHeader, -1);
        compile(m_detail, m_t.detail, BandKind::Detail, groups - 1);
        compile(m_reportFooter, m_t.reportFooter, BandKind::ReportFooter, -1);
        compile(m_pageFooter, m_t.pageFooter, BandKind::PageFooter, -1);
        m_groupHeaders.resize(size_t(groups));
        m_groupFooters.resize(size_t(groups));
        for (int l = 0; l < groups; ++l) {
            const Group& g = m_t.groups[size_t(l)];
            compile(m_groupHeaders[size_t(l)], g.header, BandKind::GroupHeader, l);
            compile(m_groupFooters[size_t(l)], g.footer, BandKind::GroupFooter, l);
            std::vector<int> idx;
            for (const auto& name : g.fields) {
                for (size_t f = 0; f < m_t.fields.size(); ++f)
                    if (m_t.fields[f].name == name) idx.push_back(static_cast<int>(f));
            }
            m_groupFields.push_back(std::move(idx));
        }

        // Values that aggregates add up are converted once, not once per scope.
        m_typed.resize(m_aggFields.size());
        for (size_t k = 0; k < m_aggFields.size(); ++k) {
            int f = m_aggFields[k];
            m_typed[k].reserve(m_d.rows.size());
            for (const auto& row : m_d.rows)
                m_typed[k].push_back(format::ConvertValue(cell(row, f), m_fieldTypes[size_t(f)]));
        }
        m_reportAgg.assign(m_aggFields.size(), Aggregator{});
        for (size_t k = 0; k < m_aggFields.size(); ++k)
            for (const auto& v : m_typed[k])
                m_reportAgg[k].add(v);
        m_pageAgg.assign(m_aggFields.size(), Aggregator{});
        m_groupAgg.assign(size_t(groups), std::vector<Aggregator>(m_aggFields.size()));
        m_groupStart.assign(size_t(groups), 0);
        m_groupEnd.assign(size_t(groups), 0);

        const PageSetup& p = m_t.page;
        m_columns = m_detail.present() ? m_t.detail.columns : Columns{};
        m_columnStep = ColumnWidth(m_columns, p) + m_columns.spacing;
        m_bodyTop = p.marginTop;
        m_bodyBottom = p.pageHeight() - p.marginBottom - m_pageFooter.height();
        m_nextRow = rowCount() > 0 ? 0 : -1;
    }

    static const ScalarValue& cell(const std::vector<ScalarValue>& row, int field) {
        static const ScalarValue empty;
        return field >= 0 && size_t(field) < row.size() ? row[size_t(field)] : empty;
    }
    const ScalarValue& cellAt(int row, int field) const {
        static const ScalarValue empty;
        if (row < 0 || row >= rowCount()) return empty;
        return cell(m_d.rows[size_t(row)], field);
    }

    // ---- groups ----

    int firstChange(int a, int b) const {
        for (size_t l = 0; l < m_groupFields.size(); ++l)
            for (int f : m_groupFields[l])
                if (cellAt(a, f).text != cellAt(b, f).text || cellAt(a, f).kind != cellAt(b, f).kind)
                    return static_cast<int>(l);
        return static_cast<int>(m_groupFields.size());
    }

    std::string groupLabel(int level, int row) const {
        std::string label;
        for (int f : m_groupFields[size_t(level)]) {
            if (!label.empty()) label += '/';
            label += cellAt(row, f).text;
        }
        return "'" + label + "'";
    }

    void openGroup(int level, int row) {
        const Group& g = m_t.groups[size_t(level)];
        int end = row + 1;
        while (end < rowCount() && firstChange(end - 1, end) > level)
            ++end;
        m_groupStart[size_t(level)] = row;
        m_groupEnd[size_t(level)] = end;
        auto& aggs = m_groupAgg[size_t(level)];
        for (size_t k = 0; k < aggs.size(); ++k) {
            aggs[k].reset();
            for (int r = row; r < end; ++r)
                aggs[k].add(m_typed[k][size_t(r)]);
        }
        m_nextRow = row;
        if (g.newPage && m_bodyUsed && row > 0) breakPage();
        const CompiledBand& header = m_groupHeaders[size_t(level)];
        if (header.present()) {
            // Keep a header with the first row under it: inner headers and one detail row.
            double keep = m_detail.height();
            for (size_t l = size_t(level) + 1; l < m_groupHeaders.size(); ++l)
                keep += m_groupHeaders[l].height();
            placeBand(header, Context{row, level, BandKind::GroupHeader}, keep, true);
            m_page.info.events.push_back("header " + groupLabel(level, row));
        }
        m_openCount = level + 1;
    }

    void closeGroup(int level, int lastRow) {
        const CompiledBand& footer = m_groupFooters[size_t(level)];
        if (footer.present()) {
            m_nextRow = -1;
            placeBand(footer, Context{lastRow, level, BandKind::GroupFooter}, 0, true);
            m_page.info.events.push_back("footer " + groupLabel(level, lastRow));
        }
        m_openCount = level;
    }

    void placeDetail(int row) {
        if (m_columns.any()) {
            if (m_columns.down)
                addDown(row);
            else
                addAcross(row);
            return;
        }
        m_nextRow = row;
        if (m_detail.present())
            placeBand(m_detail, Context{row, m_detail.level, BandKind::Detail}, 0, true, row);
        for (size_t k = 0; k < m_pageAgg.size(); ++k)
            m_pageAgg[k].add(m_typed[k][size_t(row)]);
        ++m_pageRows;
        if (m_page.info.firstRow < 0) m_page.info.firstRow = row;
        m_page.info.lastRow = row;
        m_lastRow = row;
    }

    // ---- detail columns ----

    // A row on the page: page totals, row range. Its band may still wait for its place.
    void countRow(int row) {
        for (size_t k = 0; k < m_pageAgg.size(); ++k)
            m_pageAgg[k].add(m_typed[k][size_t(row)]);
        ++m_pageRows;
        m_lastRow = row;
    }

    Cell& newCell(int row) {
        if (m_cellCount == m_cells.size()) m_cells.emplace_back();
        Cell& c = m_cells[m_cellCount++];
        c.row = row;
        c.column = 0;
        c.y = 0;
        return c;
    }

    void buildDetail(int row, Instance& into) {
        m_nextRow = row;
        build(m_detail, Context{row, m_detail.level, BandKind::Detail});
        std::swap(into, m_inst);
    }

    void noteRows(int first, int last) {
        if (m_page.info.firstRow < 0) m_page.info.firstRow = first;
        m_page.info.lastRow = last;
    }

    // "across": rows fill a line left to right; the line is placed once it is full (or cut short).
    void addAcross(int row) {
        if (m_cellCount == 0) { // page totals as they were before the line, should it move to a new page
            m_lineAgg = m_pageAgg;
            m_lineRows = m_pageRows;
        }
        Cell& c = newCell(row);
        c.column = static_cast<int>(m_cellCount - 1);
        buildDetail(row, c.inst);
        countRow(row);
        if (m_cellCount == size_t(m_columns.count)) placeLine();
    }

    double lineHeight() const {
        double h = 0;
        for (size_t i = 0; i < m_cellCount; ++i)
            h = std::max(h, m_cells[i].inst.height);
        return h;
    }

    // Places the waiting cells side by side at m_y as one line: the line takes the height of its
    // tallest cell and never splits across pages unless it is taller than an empty page.
    void placeLine() {
        if (m_cellCount == 0) return;
        double h = lineHeight();
        if (m_y + h > m_bodyBottom + kEpsilon && m_bodyUsed) {
            m_pageAgg = m_lineAgg; // the line's rows count on the page they are printed on
            m_pageRows = m_lineRows;
            m_nextRow = m_cells[0].row;
            breakPage();
            for (size_t i = 0; i < m_cellCount; ++i) { // page numbers and page totals changed
                buildDetail(m_cells[i].row, m_cells[i].inst);
                countRow(m_cells[i].row);
            }
            h = lineHeight();
        }
        bool whole = true;
        while (m_y + h > m_bodyBottom + kEpsilon) {
            const double room = m_bodyBottom - m_y;
            if (room < 1) break; // the fixed bands fill the page: overflow rather than loop
            std::vector<Instance> heads, rests;
            bool cut = false;
            for (size_t i = 0; i < m_cellCount; ++i) {
                m_inst = m_cells[i].inst;
                Instance rest;
                splitInstance(room, rest);
                cut = cut || rest.height < m_cells[i].inst.height - kEpsilon;
                heads.push_back(std::move(m_inst));
                rests.push_back(std::move(rest));
            }
            if (!cut) break; // nothing could be cut (pictures taller than a page)
            for (size_t i = 0; i < m_cellCount; ++i) {
                m_inst = std::move(heads[i]);
                put(m_y, m_cells[i].column * m_columnStep);
                m_cells[i].inst = std::move(rests[i]);
            }
            noteRows(m_cells[0].row, m_cells[m_cellCount - 1].row);
            m_bodyUsed = true;
            breakPage();
            const int first = m_cells[0].row + 1, last = m_cells[m_cellCount - 1].row + 1;
            m_page.info.events.push_back(first == last ? "row " + std::to_string(first) + " continues"
                                                       : "rows " + std::to_string(first) + "-" +
                                                             std::to_string(last) + " continue");
            whole = false;
            h = lineHeight();
        }
        for (size_t i = 0; i < m_cellCount; ++i) {
            m_inst = std::move(m_cells[i].inst);
            if (whole) stretch(h);
            put(m_y, m_cells[i].column * m_columnStep);
        }
        noteRows(m_cells[0].row, m_cells[m_cellCount - 1].row);
        m_y += h;
        m_bodyUsed = true;
        m_cellCount = 0;
    }

    // Cells that reach the bottom of the detail band grow to the line's height, so the labels of a
    // line stay the same size.
    void stretch(double height) {
        if (height <= m_inst.height + kEpsilon) return;
        const Band& band = *m_detail.band;
        for (size_t i = 0; i < band.items.size() && i < m_inst.items.size(); ++i) {
            const Item& it = band.items[i];
            if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) &&
                std::abs(double(m_inst.items[i].y + m_inst.items[i].h) - m_inst.height) < kEpsilon)
                m_inst.items[i].h = float(height - m_inst.items[i].y);
        }
        m_inst.height = height;
    }

    // "down": rows fill a column from the top of the section to the bottom of the page, then the next
    // column; a full page is placed and the rows go on at the top of the next page.
    void addDown(int row) {
        Cell& c = newCell(row);
        buildDetail(row, c.inst);
        if (m_cellCount == 1) {
            m_sectionTop = m_y;
            m_column = 0;
            m_columnY = 0;
        }
        double h = c.inst.height;
        if (m_sectionTop + m_columnY + h > m_bodyBottom + kEpsilon && m_columnY > 0) {
            ++m_column;
            m_columnY = 0;
        }
        const bool tooTall = m_sectionTop + h > m_bodyBottom + kEpsilon;
        if (m_column == m_columns.count || (tooTall && (m_cellCount > 1 || m_bodyUsed))) {
            --m_cellCount; // this row goes to the next page
            placeDown(false);
            breakPage();
            Cell& again = newCell(row);
            buildDetail(row, again.inst);
            m_sectionTop = m_y;
            m_column = 0;
            m_columnY = 0;
            h = again.inst.height;
        }
        Cell& placed = m_cells[m_cellCount - 1];
        countRow(row);
        if (m_sectionTop + h > m_bodyBottom + kEpsilon) { // taller than an empty page: cut like a line
            placed.column = 0;
            placeLine();
            return;
        }
        placed.column = m_column;
        placed.y = m_columnY;
        m_columnY += h;
    }

    // Places the waiting "down" cells; `balance` first shares them out evenly over the columns, for a
    // section that ends before the page is full (a band follows below it).
    void placeDown(bool balance) {
        if (m_cellCount == 0) return;
        if (balance) rebalance();
        double deepest = 0;
        for (size_t i = 0; i < m_cellCount; ++i) {
            Cell& c = m_cells[i];
            deepest = std::max(deepest, c.y + c.inst.height);
            m_inst = std::move(c.inst);
            put(m_sectionTop + c.y, c.column * m_columnStep);
        }
        noteRows(m_cells[0].row, m_cells[m_cellCount - 1].row);
        m_y = m_sectionTop + deepest;
        m_bodyUsed = true;
        m_cellCount = 0;
    }

    // The fewest rows per column that still fit the room below the section top; the columns as
    // filled stay if no even share fits (very uneven heights).
    void rebalance() {
        const size_t n = m_cellCount, cols = size_t(m_columns.count);
        const double room = m_bodyBottom - m_sectionTop;
        for (size_t k = (n + cols - 1) / cols; k < n; ++k) {
            bool fits = true;
            for (size_t start = 0; start < n && fits; start += k) {
                double h = 0;
                for (size_t i = start; i < std::min(n, start + k); ++i)
                    h += m_cells[i].inst.height;
                fits = h <= room + kEpsilon;
            }
            if (!fits) continue;
            double y = 0;
            for (size_t i = 0; i < n; ++i) {
                if (i % k == 0) y = 0;
                m_cells[i].column = static_cast<int>(i / k);
                m_cells[i].y = y;
                y += m_cells[i].inst.height;
            }
            return;
        }
    }

    // Ends the current line ("across") or section ("down") of detail rows.
    void flushCells(bool balance) {
        if (!m_columns.any()) return;
        if (m_columns.down)
            placeDown(balance);
        else
            placeLine();
    }

    // ---- pages ----

    void startPage(bool first) {
        m_page = Page{};
        m_y = m_bodyTop;
        m_bodyUsed = false;
        m_pageRows = 0;
        for (auto& a : m_pageAgg)
            a.reset();
        int row = m_nextRow >= 0 ? m_nextRow : (m_lastRow >= 0 ? m_lastRow : -1);
        if (m_pageHeader.present()) placeFixed(m_pageHeader, Context{row, -1, BandKind::PageHeader});
        if (first && m_reportHeader.present()) {
            m_page.info.events.push_back("report header");
            placeBand(m_reportHeader, Context{rowCount() > 0 ? 0 : -1, -1, BandKind::ReportHeader}, 0, false);
        }
        if (m_columnHeader.present()) {
            placeFixed(m_columnHeader, Context{row, -1, BandKind::ColumnHeader});
            m_page.info.columnHeader = true;
            if (!first) m_page.info.events.push_back("column header repeated");
        }
        if (!first) {
            for (int l = 0; l < m_openCount; ++l) {
                const CompiledBand& header = m_groupHeaders[size_t(l)];
                int start = m_groupStart[size_t(l)];
                bool repeat = m_t.groups[size_t(l)].repeatHeader && header.present();
                if (repeat) placeFixed(header, Context{start, l, BandKind::GroupHeader});
                m_page.info.events.push_back("group " + groupLabel(l, start) + " continues" +
                                             (repeat ? " (header repeated)" : ""));
            }
        }
    }

    void finishPage() {
        if (m_pageFooter.present()) {
            int row = m_page.info.lastRow >= 0 ? m_page.info.lastRow : m_lastRow;
            build(m_pageFooter, Context{row, -1, BandKind::PageFooter});
            // The footer keeps its place and size: rows never reach it and it never pushes anything.
            const PageSetup& p = m_t.page;
            put(p.pageHeight() - p.marginBottom - m_pageFooter.height());
        }
        m_out.pages.push_back(std::move(m_page));
        m_page = Page{};
    }

    void breakPage() {
        finishPage();
        startPage(false);
    }

    // Page header, column header and repeated group headers: no break checks, they open the page.
    void placeFixed(const CompiledBand& cb, const Context& ctx) {
        build(cb, ctx);
        put(m_y);
        m_y += m_inst.height;
    }

    void placeBand(const CompiledBand& cb, const Context& ctx, double keep, bool body, int row = -1) {
        build(cb, ctx);
        if (m_y + m_inst.height + keep > m_bodyBottom + kEpsilon && m_bodyUsed) {
            breakPage();
            build(cb, ctx); // page numbers and page totals change with the page
        }
        while (m_y + m_inst.height > m_bodyBottom + kEpsilon) {
            double room = m_bodyBottom - m_y;
            if (room < 1) {             // not even a line fits: nothing more to gain on this page
                if (!m_bodyUsed) break; // the fixed bands fill the page: overflow rather than loop
                breakPage();
                continue;
            }
            Instance rest;
            const double before = m_inst.height;
            splitInstance(room, rest);
            if (rest.height >= before - kEpsilon) { // nothing could be cut (a picture taller than a page)
                m_inst = std::move(rest);
                break;
            }
            put(m_y);
            m_y += room;
            m_bodyUsed = true;
            if (row >= 0) {
                if (m_page.info.firstRow < 0) m_page.info.firstRow = row;
                m_page.info.lastRow = row;
            }
            breakPage();
            if (row >= 0) m_page.info.events.push_back("row " + std::to_string(row + 1) + " continues");
            m_inst = std::move(rest);
        }
        put(m_y);
        m_y += m_inst.height;
        if (body || m_y > m_bodyBottom + kEpsilon) m_bodyUsed = true; // an overfull page takes nothing more
    }

    // Cuts m_inst at `limit` mm: what lies above stays, the rest moves to `rest` (shifted up). Text that
    // crosses the cut is divided between its lines.
    void splitInstance(double limit, Instance& rest) {
        Instance first;
        for (const PageItem& item : m_inst.items) {
            std::string_view text = std::string_view(m_inst.text).substr(item.textOffset, item.textLength);
            auto add = [](Instance& to, PageItem it, std::string_view t) {
                it.textOffset = static_cast<uint32_t>(to.text.size());
                it.textLength = static_cast<uint32_t>(t.size());
                to.text.append(t);
                to.items.push_back(it);
            };
            if (item.y + item.h <= limit + kEpsilon) {
                add(first, item, text);
            } else if (item.y >= limit - kEpsilon) {
                PageItem moved = item;
                moved.y -= float(limit);
                add(rest, moved, text);
            } else if (item.kind == ItemKind::Text || item.kind == ItemKind::Rect) {
                const TextStyle& st = m_t.styles[size_t(item.style)];
                double lh = m_m.lineHeight(item.style);
                int fit = std::max(0, int(std::floor((limit - item.y - 2 * st.padding) / lh + kEpsilon)));
                // Lines are separated by '\n': keep the first `fit` of them here.
                std::string_view head = text, tail;
                size_t pos = 0;
                for (int i = 0; i < fit; ++i) {
                    size_t nl = text.find('\n', pos);
                    if (nl == std::string_view::npos) break;
                    if (i == fit - 1) {
                        head = text.substr(0, nl);
                        tail = text.substr(nl + 1);
                    }
                    pos = nl + 1;
                }
                if (fit == 0) {
                    head = {};
                    tail = text;
                }
                PageItem top = item, bottom = item;
                top.h = float(limit - item.y);
                bottom.y = 0;
                bottom.h = float(item.y + item.h - limit);
                add(first, top, head);
                add(rest, bottom, tail);
            } else {
                PageItem moved = item; // images, barcodes and lines are not cut: they go whole
                moved.y = 0;
                add(rest, moved, text);
            }
        }
        first.height = limit;
        rest.height = m_inst.height - limit;
        for (const PageItem& it : rest.items)
            rest.height = std::max(rest.height, double(it.y + it.h));
        m_inst = std::move(first);
    }

    void put(double y, double x = 0) {
        for (PageItem it : m_inst.items) {
            it.y += float(y);
            it.x += float(x);
            it.textOffset += static_cast<uint32_t>(m_page.text.size());
            m_page.items.push_back(it);
        }
        m_page.text += m_inst.text;
    }

    // ---- band instances ----

    void build(const CompiledBand& cb, const Context& ctx) {
        m_inst.clear();
        const Band& band = *cb.band;
        double height = band.height;
        bool grown = false;
        for (size_t i = 0; i < band.items.size(); ++i) {
            const Item& it = band.items[i];
            PageItem pi;
            pi.kind = it.kind;
            // Templates built in code (the designer) are not checked like loaded files.
            pi.style = it.style >= 0 && size_t(it.style) < m_t.styles.size() ? it.style : 0;
            pi.x = float(it.x + m_t.page.marginLeft);
            pi.y = float(it.y);
            pi.w = float(it.w);
            pi.h = float(it.h);
            pi.source = &it;
            pi.textOffset = static_cast<uint32_t>(m_inst.text.size());
            if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode) {
                const Expression& expr = cb.exprs[i];
                m_scratch.clear();
                if (expr.literalOnly) {
                    if (!expr.segments.empty()) m_scratch = expr.segments[0].text;
                } else {
                    evaluate(expr, pi.style, cb, ctx, m_scratch);
                }
                if (expr.usesPageCount) pi.flags |= PageItem::kPageCountPending;
                const TextStyle& st = m_t.styles[size_t(pi.style)];
                if (it.kind == ItemKind::Text && st.wordWrap) {
                    int lines = WrapText(m_scratch, it.w - 2 * st.padding, pi.style, m_m, m_inst.text);
                    if (st.canGrow) {
                        double need = lines * m_m.lineHeight(pi.style) + 2 * st.padding;
                        if (need > it.h + kEpsilon) {
                            pi.h = float(need);
                            height = std::max(height, it.y + need);
                            grown = true;
                        }
                    }
                } else {
                    m_inst.text += m_scratch;
                }
            }
            pi.textLength = static_cast<uint32_t>(m_inst.text.size() - pi.textOffset);
            m_inst.items.push_back(pi);
        }
        if (grown) {
            // Cells that reached the bottom of the band grow with it, so a table row stays a row.
            for (size_t i = 0; i < band.items.size(); ++i) {
                const Item& it = band.items[i];
                PageItem& pi = m_inst.items[i];
                if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) &&
                    std::abs(it.y + it.h - band.height) < kEpsilon)
                    pi.h = float(height - it.y);
            }
        }
        m_inst.height = height;
    }

    const std::string& effectiveFormat(const Segment& seg, int style, const std::string& declared) const {
        if (seg.hasFormat) return seg.text;
        const std::string& sf = m_t.styles[size_t(style)].format;
        return sf.empty() ? declared : sf;
    }

    void evaluate(const Expression& expr, int style, const CompiledBand& cb, const Context& ctx,
                  std::string& out) {
        static const std::string none;
        for (const Segment& seg : expr.segments) {
            switch (seg.kind) {
            case Segment::Kind::Literal:
                out += seg.text;
                break;
            case Segment::Kind::Unknown:
                break;
            case Segment::Kind::Field: {
                const ScalarValue& v = cellAt(ctx.row, seg.index);
                const std::string& fmt = effectiveFormat(seg, style, m_t.fields[size_t(seg.index)].format);
                FieldType type = m_fieldTypes[size_t(seg.index)];
                if (type == FieldType::Text && fmt.empty())
                    out += v.text; // the common case needs no conversion
                else
                    out += format::FormatValue(format::ConvertValue(v, type), type, fmt);
                break;
            }
            case Segment::Kind::Parameter:
                out += format::FormatValue(
                    m_paramValues[size_t(seg.index)], m_paramTypes[size_t(seg.index)],
                    effectiveFormat(seg, style, m_t.parameters[size_t(seg.index)].format));
                break;
            case Segment::Kind::PageNumber:
                integer(static_cast<int64_t>(m_out.pages.size() + 1), seg, out);
                break;
            case Segment::Kind::PageCount:
                out += '\x01';
                break;
            case Segment::Kind::RowNumber:
                if (ctx.row >= 0) integer(ctx.row + 1, seg, out);
                break;
            case Segment::Kind::GroupRowNumber:
                if (ctx.row >= 0) {
                    int start = m_openCount > 0 ? m_groupStart[size_t(m_openCount - 1)] : 0;
                    integer(ctx.row - start + 1, seg, out);
                }
                break;
            case Segment::Kind::Now:
                out += format::FormatValue(TypedValue::ofDateTime(m_d.now), FieldType::DateTime,
                                           seg.hasFormat ? seg.text : std::string("yyyy-MM-dd HH:mm:ss"));
                break;
            case Segment::Kind::Title:
                out += m_d.title.empty() ? m_t.title : m_d.title;
                break;
            case Segment::Kind::Aggregate:
                aggregate(seg, style, cb, out);
                break;
            }
        }
        (void)none;
    }

    void integer(int64_t v, const Segment& seg, std::string& out) {
        if (seg.hasFormat)
            out += format::FormatValue(TypedValue::ofInteger(v), FieldType::Integer, seg.text);
        else
            out += std::to_string(v);
    }

    void aggregate(const Segment& seg, int style, const CompiledBand& cb, std::string& out) {
        AggregateScope scope = seg.scope;
        int level = cb.level;
        if (scope == AggregateScope::Default) {
            switch (cb.kind) {
            case BandKind::GroupHeader:
            case BandKind::GroupFooter:
                scope = AggregateScope::Group;
                break;
            case BandKind::Detail:
                scope = level >= 0 ? AggregateScope::Group : AggregateScope::Report;
                break;
            case BandKind::PageHeader:
            case BandKind::PageFooter:
                scope = AggregateScope::Page;
                break;
            default:
                scope = AggregateScope::Report;
            }
        }
        if (scope == AggregateScope::Group && level < 0) level = m_openCount - 1;
        if (scope == AggregateScope::Group && level < 0) scope = AggregateScope::Report;

        const Aggregator* agg = nullptr;
        int64_t rows = 0;
        int slot = seg.index >= 0 ? m_aggSlot[size_t(seg.index)] : -1;
        switch (scope) {
        case AggregateScope::Group:
            rows = m_groupEnd[size_t(level)] - m_groupStart[size_t(level)];
            if (slot >= 0) agg = &m_groupAgg[size_t(level)][size_t(slot)];
            break;
        case AggregateScope::Page:
            rows = m_pageRows;
            if (slot >= 0) agg = &m_pageAgg[size_t(slot)];
            break;
        default:
            rows = rowCount();
            if (slot >= 0) agg = &m_reportAgg[size_t(slot)];
        }
        if (!agg) { // count()
            integer(rows, seg, out);
            return;
        }
        TypedValue value = agg->result(seg.function);
        FieldType type = m_fieldTypes[size_t(seg.index)];
        std::string declared = m_t.fields[size_t(seg.index)].format;
        if (seg.function == AggregateFunction::Count) {
            type = FieldType::Integer;
            declared.clear();
        } else if (seg.function == AggregateFunction::Avg && type == FieldType::Integer) {
            type = FieldType::Decimal;
        }
        out += format::FormatValue(value, type, effectiveFormat(seg, style, declared));
    }

    // ---- pass two ----

    void fillPageCount() {
        const std::string count = std::to_string(m_out.pages.size());
        for (Page& page : m_out.pages) {
            for (PageItem& it : page.items) {
                if (!(it.flags & PageItem::kPageCountPending)) continue;
                std::string text(page.textOf(it));
                for (size_t at = text.find('\x01'); at != std::string::npos; at = text.find('\x01', at))
                    text.replace(at, 1, count);
                it.textOffset = static_cast<uint32_t>(page.text.size());
                it.textLength = static_cast<uint32_t>(text.size());
                page.text += text;
                it.flags &= uint8_t(~PageItem::kPageCountPending);
            }
        }
    }

    const Template& m_t;
    const ReportData& m_d;
    TextMeasurer& m_m;
    LaidOutReport m_out;

    std::vector<FieldType> m_fieldTypes, m_paramTypes;
    std::vector<TypedValue> m_paramValues;
    CompiledBand m_reportHeader, m_pageHeader, m_columnHeader, m_detail, m_reportFooter, m_pageFooter;
    std::vector<CompiledBand> m_groupHeaders, m_groupFooters;
    std::vector<std::vector<int>> m_groupFields;

    std::vector<int> m_aggSlot;                   // field index → slot, -1 if no aggregate uses the field
    std::vector<int> m_aggFields;                 // slot → field index
    std::vector<std::vector<TypedValue>> m_typed; // slot → value per row
    std::vector<Aggregator> m_reportAgg, m_pageAgg;
    std::vector<std::vector<Aggregator>> m_groupAgg;
    std::vector<int> m_groupStart, m_groupEnd;
    int m_openCount = 0;

    Columns m_columns;
    double m_columnStep = 0;
    std::vector<Cell> m_cells; // waiting detail rows; reused, only the first m_cellCount are live
    size_t m_cellCount = 0;
    std::vector<Aggregator> m_lineAgg; // page totals before the waiting line ("across")
    int64_t m_lineRows = 0;
    double m_sectionTop = 0, m_columnY = 0; // "down": top of the columns, fill of the current column
    int m_column = 0;

    Page m_page;
    Instance m_inst;
    std::string m_scratch;
    double m_bodyTop = 0, m_bodyBottom = 0, m_y = 0;
    bool m_bodyUsed = false;
    int64_t m_pageRows = 0;
    int m_nextRow = -1, m_lastRow = -1;
};

} // namespace

LaidOutReport Paginate(const Template& tmpl, const ReportData& data, TextMeasurer& measurer) {
    return Paginator(tmpl, data, measurer).run();
}

std::string DescribePages(const LaidOutReport& report) {
    std::string out;
    for (size_t i = 0; i < report.pages.size(); ++i) {
        const PageInfo& info = report.pages[i].info;
        out += "page " + std::to_string(i + 1) + ":";
        if (info.firstRow >= 0)
            out += " rows " + std::to_string(info.firstRow + 1) + "-" + std::to_string(info.lastRow + 1);
        else
            out += " no rows";
        for (const auto& e : info.events)
            out += ", " + e;
        out += "\n";
    }
    return out;
}

} // namespace verolux::reports
