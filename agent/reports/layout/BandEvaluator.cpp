#include "agent/reports/layout/BandEvaluator.h"

#include "agent/reports/format/ValueConvert.h"
#include "agent/reports/format/ValueFormat.h"
#include "agent/reports/layout/LayoutConstants.h"
#include "agent/reports/layout/RuleStyles.h"
#include "agent/reports/layout/TextWrap.h"
#include "agent/reports/model/TemplateNames.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

using format::AggregateFunction;
using format::Aggregator;
using format::FieldType;
using format::TypedValue;
using format::expr::Value;

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
    m_groupStart.assign(size_t(groups), 0);
    m_groupEnd.assign(size_t(groups), 0);
    m_bands.reportHeader = compile(tmpl.reportHeader, BandKind::ReportHeader, -1, "bands.reportHeader");
    m_bands.pageHeader = compile(tmpl.pageHeader, BandKind::PageHeader, -1, "bands.pageHeader");
    m_bands.columnHeader = compile(tmpl.columnHeader, BandKind::ColumnHeader, -1, "bands.columnHeader");
    m_bands.detail = compile(tmpl.detail, BandKind::Detail, groups - 1, "bands.detail");
    m_bands.reportFooter = compile(tmpl.reportFooter, BandKind::ReportFooter, -1, "bands.reportFooter");
    m_bands.pageFooter = compile(tmpl.pageFooter, BandKind::PageFooter, -1, "bands.pageFooter");
    for (int l = 0; l < groups; ++l) {
        const Group& g = tmpl.groups[size_t(l)];
        const std::string path = "groups[" + std::to_string(l) + "]";
        m_bands.groupHeaders.push_back(compile(g.header, BandKind::GroupHeader, l, path + ".header"));
        m_bands.groupFooters.push_back(compile(g.footer, BandKind::GroupFooter, l, path + ".footer"));
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
    m_exprReport.assign(m_exprValues.size(), format::expr::Total{});
    for (size_t k = 0; k < m_exprValues.size(); ++k)
        for (const Value& v : m_exprValues[k])
            m_exprReport[k].add(v);
    m_page.exprs.assign(m_exprValues.size(), format::expr::Total{});
    m_exprGroup.assign(size_t(groups), std::vector<format::expr::Total>(m_exprValues.size()));
}

CompiledBand BandEvaluator::compile(const Band& band, BandKind kind, int level, std::string path) {
    CompiledBand cb;
    cb.band = &band;
    cb.kind = kind;
    cb.level = level;
    cb.path = std::move(path);
    for (const Item& it : band.items) {
        const std::string where = cb.path + ".items[" + std::to_string(cb.exprs.size()) + "]";
        cb.exprs.push_back(it.kind == ItemKind::Text || it.kind == ItemKind::Barcode
                               ? CompileExpression(it.text, m_tmpl)
                               : Expression{});
        for (CompiledExpr& ce : cb.exprs.back().computed) {
            ce.where = where;
            addSlots(ce);
        }
        cb.rules.emplace_back();
        cb.ruleStyles.emplace_back();
        const int own = it.style >= 0 && size_t(it.style) < m_tmpl.styles.size() ? it.style : 0;
        for (const StyleRule& rule : it.rules) {
            cb.rules.back().push_back(CompileCondition(rule.when, m_tmpl));
            cb.ruleStyles.back().push_back(RuleStyle(m_tmpl, own, rule));
            if (auto& ce = cb.rules.back().back()) {
                ce->where = where + ".rules[" + std::to_string(cb.rules.back().size() - 1) + "]";
                addSlots(*ce);
            }
        }
        for (const Segment& s : cb.exprs.back().segments) {
            if (s.kind != Segment::Kind::Aggregate || s.index < 0 || m_aggSlot[size_t(s.index)] >= 0)
                continue;
            m_aggSlot[size_t(s.index)] = static_cast<int>(m_aggFields.size());
            m_aggFields.push_back(s.index);
        }
    }
    return cb;
}

// Aggregates of an expression get its value for every row once, like fields converted once.
void BandEvaluator::addSlots(CompiledExpr& expr) {
    for (CompiledNode& n : expr.nodes) {
        if (n.kind != CompiledNode::Kind::Aggregate || n.args.empty()) continue;
        n.slot = static_cast<int>(m_exprValues.size());
        std::vector<Value> values;
        values.reserve(m_data.rows.size());
        CompiledExpr arg = expr; // the argument alone, evaluated as a whole expression
        arg.root = n.args[0];
        for (int row = 0; row < rowCount(); ++row)
            values.push_back(evalOrWarn(arg, Place{row, &m_bands.detail, 0}));
        m_exprValues.push_back(std::move(values));
    }
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
    auto& exprs = m_exprGroup[size_t(level)];
    for (size_t k = 0; k < exprs.size(); ++k) {
        exprs[k].reset();
        for (int r = first; r < end; ++r)
            exprs[k].add(m_exprValues[k][size_t(r)]);
    }
}

void BandEvaluator::resetPageTotals() {
    for (auto& a : m_page.aggregates)
        a.reset();
    for (auto& a : m_page.exprs)
        a.reset();
    m_page.rows = 0;
}

void BandEvaluator::countOnPage(int row) {
    for (size_t k = 0; k < m_page.aggregates.size(); ++k)
        m_page.aggregates[k].add(m_typed[k][size_t(row)]);
    for (size_t k = 0; k < m_page.exprs.size(); ++k)
        m_page.exprs[k].add(m_exprValues[k][size_t(row)]);
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
        if (!it.rules.empty()) {
            bool hidden = false;
            pi.style = ruleStyle(it, cb, i, Place{ctx.row, &cb, pageNumber}, hidden);
            if (hidden) { // kept in its place, so that items and their indexes stay in step
                pi.hidden = true;
                out.add(pi, {});
                continue;
            }
        }
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
        case Segment::Kind::Computed: {
            const Value v = evalOrWarn(expr.computed[size_t(seg.index)], Place{ctx.row, &cb, pageNumber});
            m_text += format::expr::FormatExprValue(v, seg.hasFormat ? seg.text
                                                                     : m_tmpl.styles[size_t(style)].format);
            break;
        }
        }
    }
}

void BandEvaluator::appendInteger(int64_t v, const Segment& seg) {
    if (seg.hasFormat)
        m_text += format::FormatValue(TypedValue::ofInteger(v), FieldType::Integer, seg.text);
    else
        m_text += std::to_string(v);
}

std::pair<AggregateScope, int> BandEvaluator::resolveScope(AggregateScope scope,
                                                           const CompiledBand& cb) const {
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
    return {scope, level};
}

void BandEvaluator::appendAggregate(const Segment& seg, int style, const CompiledBand& cb) {
    const auto [scope, level] = resolveScope(seg.scope, cb);
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

namespace verolux::reports {

void BandEvaluator::warn(const std::string& where, const std::string& source, const std::string& why) {
    // Once per expression: a column of bad values would otherwise fill the log row by row.
    std::string place = where + " " + source;
    if (m_warned.insert(place).second) m_warnings.push_back(place + ": " + why);
}

const Value& BandEvaluator::fieldValue(int row, int field) {
    if (row != m_cachedRow) {
        m_cachedRow = row;
        m_cached.assign(m_fieldTypes.size(), 0);
        m_cachedFields.resize(m_fieldTypes.size());
    }
    Value& out = m_cachedFields[size_t(field)];
    if (m_cached[size_t(field)]) return out;
    m_cached[size_t(field)] = 1;
    const ScalarValue& v = cellAt(row, field);
    const FieldType type = m_fieldTypes[size_t(field)];
    if (type == FieldType::Text) // the common case needs no conversion
        out = v.kind == ScalarValue::Kind::Empty || v.text.empty() ? Value{} : Value::ofText(v.text);
    else
        out = format::expr::FromTyped(format::ConvertValue(v, type));
    return out;
}

Value BandEvaluator::evalOrWarn(const CompiledExpr& expr, const Place& at) {
    try {
        return evalNode(expr, expr.root, at);
    } catch (const format::expr::EvalError& e) {
        warn(expr.where, expr.source, e.message);
        return {};
    }
}

int BandEvaluator::ruleStyle(const Item& item, const CompiledBand& band, size_t index, const Place& at,
                             bool& hidden) {
    const int own = item.style >= 0 && size_t(item.style) < m_tmpl.styles.size() ? item.style : 0;
    const auto& rules = band.rules[index];
    for (size_t r = 0; r < rules.size(); ++r) {
        if (!rules[r]) continue;
        bool holds = false;
        try {
            holds = format::expr::Truth(evalNode(*rules[r], rules[r]->root, at));
        } catch (const format::expr::EvalError& e) {
            warn(rules[r]->where, rules[r]->source, e.message);
        }
        if (!holds) continue;
        hidden = !item.rules[r].visible;
        return band.ruleStyles[index][r];
    }
    return own;
}

Value BandEvaluator::evalNode(const CompiledExpr& expr, int i, const Place& at) {
    using K = CompiledNode::Kind;
    const CompiledNode& n = expr.nodes[size_t(i)];
    auto integer = [](int64_t v) { return Value::ofNumber(format::Decimal::fromInteger(v)); };
    switch (n.kind) {
    case K::Constant:
        return n.constant;
    case K::Field:
        return fieldValue(at.row, n.index);
    case K::Parameter:
        return format::expr::FromTyped(m_paramValues[size_t(n.index)]);
    case K::Unknown:
        return {};
    case K::PageNumber:
        return integer(at.pageNumber);
    case K::RowNumber:
        return at.row >= 0 ? integer(at.row + 1) : Value{};
    case K::GroupRowNumber:
        if (at.row < 0) return {};
        return integer(at.row - (m_openGroups > 0 ? m_groupStart[size_t(m_openGroups - 1)] : 0) + 1);
    case K::Now:
        return format::expr::FromTyped(TypedValue::ofDateTime(m_data.now));
    case K::Title:
        return Value::ofText(m_data.title.empty() ? m_tmpl.title : m_data.title);
    case K::Aggregate: {
        const auto [scope, level] = resolveScope(n.scope, *at.band);
        if (n.slot < 0) { // count()
            const int64_t rows = scope == AggregateScope::Group
                                     ? m_groupEnd[size_t(level)] - m_groupStart[size_t(level)]
                                 : scope == AggregateScope::Page ? m_page.rows
                                                                 : rowCount();
            return integer(rows);
        }
        const format::expr::Total& total = scope == AggregateScope::Group
                                               ? m_exprGroup[size_t(level)][size_t(n.slot)]
                                           : scope == AggregateScope::Page ? m_page.exprs[size_t(n.slot)]
                                                                           : m_exprReport[size_t(n.slot)];
        return total.result(static_cast<int>(n.function));
    }
    case K::Unary:
        return format::expr::ApplyUnary(n.op, evalNode(expr, n.args[0], at));
    case K::Binary: {
        const Value a = evalNode(expr, n.args[0], at);
        if (n.op == format::expr::Op::And && !format::expr::Truth(a)) return Value::ofBoolean(false);
        if (n.op == format::expr::Op::Or && format::expr::Truth(a)) return Value::ofBoolean(true);
        return format::expr::ApplyBinary(n.op, a, evalNode(expr, n.args[1], at));
    }
    case K::If:
        if (format::expr::Truth(evalNode(expr, n.args[0], at))) return evalNode(expr, n.args[1], at);
        return n.args.size() > 2 ? evalNode(expr, n.args[2], at) : Value{};
    case K::Call: {
        std::vector<Value> args;
        args.reserve(n.args.size());
        for (int a : n.args)
            args.push_back(evalNode(expr, a, at));
        if (auto v = format::expr::CallFunction(n.name, args)) return *v;
        return {};
    }
    }
    return {};
}

} // namespace verolux::reports
