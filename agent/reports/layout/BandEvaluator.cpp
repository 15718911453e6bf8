#include "agent/reports/layout/BandEvaluator.h"

#include "agent/reports/format/ValueConvert.h"
#include "agent/reports/format/ValueFormat.h"
#include "agent/reports/layout/LayoutConstants.h"
#include "agent/reports/layout/TextWrap.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

using format::AggregateFunction;
using format::Aggregator;
using format::FieldType;
using format::TypedValue;

namespace {

FieldType typeOf(const Declared& d) {
    return format::ParseFieldType(d.type).value_or(FieldType::Text);
}

const ScalarValue& cell(const std::vector<ScalarValue>& row, int field) {
    static const ScalarValue empty;
    return field >= 0 && size_t(field) < row.size() ? row[size_t(field)] : empty;
}

} // namespace

BandEvaluator::BandEvaluator(const Template& tmpl, const ReportData& data, TextMeasurer& measurer)
    : m_tmpl(tmpl), m_data(data), m_measurer(measurer) {
    for (const auto& f : tmpl.fields)
        m_fieldTypes.push_back(typeOf(f));
    for (size_t i = 0; i < tmpl.parameters.size(); ++i) {
        m_paramTypes.push_back(typeOf(tmpl.parameters[i]));
        const ScalarValue v = i < data.parameters.size() ? data.parameters[i] : ScalarValue{};
        m_paramValues.push_back(format::ConvertValue(v, m_paramTypes[i]));
    }
    m_aggSlot.assign(tmpl.fields.size(), -1);
    const int groups = groupCount();
    m_bands.reportHeader = compile(tmpl.reportHeader, BandKind::ReportHeader, -1);
    m_bands.pageHeader = compile(tmpl.pageHeader, BandKind::PageHeader, -1);
    m_bands.columnHeader = compile(tmpl.columnHeader, BandKind::ColumnHeader, -1);
    m_bands.detail = compile(tmpl.detail, BandKind::Detail, groups - 1);
    m_bands.reportFooter = compile(tmpl.reportFooter, BandKind::ReportFooter, -1);
    m_bands.pageFooter = compile(tmpl.pageFooter, BandKind::PageFooter, -1);
    for (int l = 0; l < groups; ++l) {
        const Group& g = tmpl.groups[size_t(l)];
        m_bands.groupHeaders.push_back(compile(g.header, BandKind::GroupHeader, l));
        m_bands.groupFooters.push_back(compile(g.footer, BandKind::GroupFooter, l));
        std::vector<int> fields;
        for (const auto& name : g.fields)
            for (size_t f = 0; f < tmpl.fields.size(); ++f)
                if (tmpl.fields[f].name == name) fields.push_back(static_cast<int>(f));
        m_groupFields.push_back(std::move(fields));
    }

    m_typed.resize(m_aggFields.size());
    m_report.assign(m_aggFields.size(), Aggregator{});
    for (size_t k = 0; k < m_aggFields.size(); ++k) {
        const int f = m_aggFields[k];
        m_typed[k].reserve(data.rows.size());
        for (const auto& row : data.rows) {
            m_typed[k].push_back(format::ConvertValue(cell(row, f), m_fieldTypes[size_t(f)]));
            m_report[k].add(m_typed[k].back());
        }
    }
    m_page.aggregates.assign(m_aggFields.size(), Aggregator{});
    m_group.assign(size_t(groups), std::vector<Aggregator>(m_aggFields.size()));
    m_groupStart.assign(size_t(groups), 0);
    m_groupEnd.assign(size_t(groups), 0);
}

CompiledBand BandEvaluator::compile(const Band& band, BandKind kind, int level) {
    CompiledBand cb;
    cb.band = &band;
    cb.kind = kind;
    cb.level = level;
    for (const Item& it : band.items) {
        cb.exprs.push_back(it.kind == ItemKind::Text || it.kind == ItemKind::Barcode
                               ? CompileExpression(it.text, m_tmpl)
                               : Expression{});
        for (const Segment& s : cb.exprs.back().segments) {
            if (s.kind != Segment::Kind::Aggregate || s.index < 0 || m_aggSlot[size_t(s.index)] >= 0)
                continue;
            m_aggSlot[size_t(s.index)] = static_cast<int>(m_aggFields.size());
            m_aggFields.push_back(s.index);
        }
    }
    return cb;
}

const ScalarValue& BandEvaluator::cellAt(int row, int field) const {
    static const ScalarValue empty;
    if (row < 0 || row >= rowCount()) return empty;
    return cell(m_data.rows[size_t(row)], field);
}

int BandEvaluator::firstChange(int a, int b) const {
    for (size_t l = 0; l < m_groupFields.size(); ++l)
        for (int f : m_groupFields[l])
            if (cellAt(a, f).text != cellAt(b, f).text || cellAt(a, f).kind != cellAt(b, f).kind)
                return static_cast<int>(l);
    return groupCount();
}

std::string BandEvaluator::groupLabel(int level, int row) const {
    // A page description names the group on every page it continues on: a long value is shortened, so
    // that the descriptions do not grow with the value times the pages.
    constexpr size_t kMaxLabel = 200;
    std::string label;
    for (int f : m_groupFields[size_t(level)]) {
        if (!label.empty()) label += '/';
        const std::string& value = cellAt(row, f).text;
        if (label.size() + value.size() <= kMaxLabel) {
            label += value;
            continue;
        }
        size_t cut = kMaxLabel - std::min(label.size(), kMaxLabel);
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) // not inside a character
            --cut;
        label.append(value, 0, cut);
        label += "...";
        break;
    }
    return "'" + label + "'";
}

void BandEvaluator::beginGroup(int level, int first) {
    int end = first + 1;
    while (end < rowCount() && firstChange(end - 1, end) > level)
        ++end;
    m_groupStart[size_t(level)] = first;
    m_groupEnd[size_t(level)] = end;
    auto& totals = m_group[size_t(level)];
    for (size_t k = 0; k < totals.size(); ++k) {
        totals[k].reset();
        for (int r = first; r < end; ++r)
            totals[k].add(m_typed[k][size_t(r)]);
    }
}

void BandEvaluator::resetPageTotals() {
    for (auto& a : m_page.aggregates)
        a.reset();
    m_page.rows = 0;
}

void BandEvaluator::countOnPage(int row) {
    for (size_t k = 0; k < m_page.aggregates.size(); ++k)
        m_page.aggregates[k].add(m_typed[k][size_t(row)]);
    ++m_page.rows;
}

void BandEvaluator::evaluate(const CompiledBand& cb, const BandContext& ctx, int pageNumber,
                             BandInstance& out) {
    out.clear();
    const Band& band = *cb.band;
    double height = band.height;
    bool grown = false;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const Item& it = band.items[i];
        PageItem pi;
        pi.kind = it.kind;
        // Templates built in code (the designer) are not checked like loaded files.
        pi.style = it.style >= 0 && size_t(it.style) < m_tmpl.styles.size() ? it.style : 0;
        pi.x = float(it.x + m_tmpl.page.marginLeft);
        pi.y = float(it.y);
        pi.w = float(it.w);
        pi.h = float(it.h);
        pi.source = &it;
        m_text.clear();
        m_countsAt.clear();
        if (it.kind != ItemKind::Text && it.kind != ItemKind::Barcode) {
            out.add(pi, {});
            continue;
        }
        const Expression& expr = cb.exprs[i];
        if (expr.literalOnly) {
            if (!expr.segments.empty()) m_text = expr.segments[0].text;
        } else {
            evaluateText(expr, pi.style, cb, ctx, pageNumber);
        }
        std::string_view text = m_text;
        const TextStyle& st = m_tmpl.styles[size_t(pi.style)];
        if (it.kind == ItemKind::Text && st.wordWrap) {
            m_wrapped.clear();
            const int lines =
                WrapText(m_text, it.w - 2 * st.padding, pi.style, m_measurer, m_wrapped, &m_countsAt);
            text = m_wrapped;
            if (st.canGrow) {
                const double need = lines * m_measurer.lineHeight(pi.style) + 2 * st.padding;
                if (need > it.h + kLayoutEpsilon) {
                    pi.h = float(need);
                    height = std::max(height, it.y + need);
                    grown = true;
                }
            }
        } else if (it.kind == ItemKind::Text && m_text.size() > kClipLineBytes) {
            // Drawn from the cell's left edge and cut at its right one: what lies past twice the cell's
            // width never shows (the margin covers measuring by characters instead of whole lines).
            m_wrapped.clear();
            ClipLongLines(m_text, 2 * it.w + 5, pi.style, m_measurer, m_wrapped, &m_countsAt);
            text = m_wrapped;
        }
        out.add(pi, text);
        for (uint32_t at : m_countsAt)
            out.pageCounts.push_back(PageCountMark{static_cast<uint32_t>(out.items.size() - 1), at});
    }
    if (grown) {
        // Cells that reached the bottom of the band grow with it, so a table row stays a row.
        for (size_t i = 0; i < band.items.size(); ++i) {
            const Item& it = band.items[i];
            if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) &&
                std::abs(it.y + it.h - band.height) < kLayoutEpsilon)
                out.items[i].h = float(height - it.y);
        }
    }
    out.height = height;
}

const std::string& BandEvaluator::effectiveFormat(const Segment& seg, int style,
                                                  const std::string& declared) const {
    if (seg.hasFormat) return seg.text;
    const std::string& sf = m_tmpl.styles[size_t(style)].format;
    return sf.empty() ? declared : sf;
}

void BandEvaluator::evaluateText(const Expression& expr, int style, const CompiledBand& cb,
                                 const BandContext& ctx, int pageNumber) {
    for (const Segment& seg : expr.segments) {
        switch (seg.kind) {
        case Segment::Kind::Literal:
            m_text += seg.text;
            break;
        case Segment::Kind::Unknown:
            break;
        case Segment::Kind::Field: {
            const ScalarValue& v = cellAt(ctx.row, seg.index);
            const std::string& fmt = effectiveFormat(seg, style, m_tmpl.fields[size_t(seg.index)].format);
            const FieldType type = m_fieldTypes[size_t(seg.index)];
            if (type == FieldType::Text && fmt.empty())
                m_text += v.text; // the common case needs no conversion
            else
                m_text += format::FormatValue(format::ConvertValue(v, type), type, fmt);
            break;
        }
        case Segment::Kind::Parameter:
            m_text +=
                format::FormatValue(m_paramValues[size_t(seg.index)], m_paramTypes[size_t(seg.index)],
                                    effectiveFormat(seg, style, m_tmpl.parameters[size_t(seg.index)].format));
            break;
        case Segment::Kind::PageNumber:
            appendInteger(pageNumber, seg);
            break;
        case Segment::Kind::PageCount:
            m_countsAt.push_back(static_cast<uint32_t>(m_text.size()));
            break;
        case Segment::Kind::RowNumber:
            if (ctx.row >= 0) appendInteger(ctx.row + 1, seg);
            break;
        case Segment::Kind::GroupRowNumber:
            if (ctx.row >= 0) {
                const int start = m_openGroups > 0 ? m_groupStart[size_t(m_openGroups - 1)] : 0;
                appendInteger(ctx.row - start + 1, seg);
            }
            break;
        case Segment::Kind::Now:
            m_text += format::FormatValue(TypedValue::ofDateTime(m_data.now), FieldType::DateTime,
                                          seg.hasFormat ? seg.text : std::string("yyyy-MM-dd HH:mm:ss"));
            break;
        case Segment::Kind::Title:
            m_text += m_data.title.empty() ? m_tmpl.title : m_data.title;
            break;
        case Segment::Kind::Aggregate:
            appendAggregate(seg, style, cb);
            break;
        }
    }
}

void BandEvaluator::appendInteger(int64_t v, const Segment& seg) {
    if (seg.hasFormat)
        m_text += format::FormatValue(TypedValue::ofInteger(v), FieldType::Integer, seg.text);
    else
        m_text += std::to_string(v);
}

void BandEvaluator::appendAggregate(const Segment& seg, int style, const CompiledBand& cb) {
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
    if (scope == AggregateScope::Group && level < 0) level = m_openGroups - 1;
    if (scope == AggregateScope::Group && level < 0) scope = AggregateScope::Report;

    const Aggregator* agg = nullptr;
    int64_t rows = 0;
    const int slot = seg.index >= 0 ? m_aggSlot[size_t(seg.index)] : -1;
    switch (scope) {
    case AggregateScope::Group:
        rows = m_groupEnd[size_t(level)] - m_groupStart[size_t(level)];
        if (slot >= 0) agg = &m_group[size_t(level)][size_t(slot)];
        break;
    case AggregateScope::Page:
        rows = m_page.rows;
        if (slot >= 0) agg = &m_page.aggregates[size_t(slot)];
        break;
    default:
        rows = rowCount();
        if (slot >= 0) agg = &m_report[size_t(slot)];
    }
    if (!agg) { // count()
        appendInteger(rows, seg);
        return;
    }
    const TypedValue value = agg->result(seg.function);
    FieldType type = m_fieldTypes[size_t(seg.index)];
    std::string declared = m_tmpl.fields[size_t(seg.index)].format;
    if (seg.function == AggregateFunction::Count) {
        type = FieldType::Integer;
        declared.clear();
    } else if (seg.function == AggregateFunction::Avg && type == FieldType::Integer) {
        type = FieldType::Decimal;
    }
    m_text += format::FormatValue(value, type, effectiveFormat(seg, style, declared));
}

} // namespace verolux::reports
