#pragma once

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/FieldType.h"
#include "agent/reports/format/TypedValue.h"
#include "agent/reports/layout/BandInstance.h"
#include "agent/reports/layout/Expression.h"
#include "agent/reports/layout/ReportData.h"
#include "agent/reports/layout/TextMeasurer.h"
#include "agent/reports/model/Template.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace verolux::reports {

// A band of the template with the texts of its items compiled once per report.
struct CompiledBand {
    const Band* band = nullptr;
    BandKind kind = BandKind::Detail;
    int level = -1; // group level of group bands; the innermost level for the detail band
    std::vector<Expression> exprs;
    // Conditional formatting per item: the compiled `when` of each rule (nullopt if unreadable).
    std::vector<std::vector<std::optional<CompiledExpr>>> rules;
    std::vector<std::vector<int>> ruleStyles; // per item and rule: the style it gives (RuleStyles.h)
    std::string path; // "bands.detail", "groups[0].footer": where the log says a value went wrong
    bool present() const { return band && band->present; }
    double height() const { return present() ? band->height : 0; }
};

struct ReportBands {
    CompiledBand reportHeader, pageHeader, columnHeader, detail, reportFooter, pageFooter;
    std::vector<CompiledBand> groupHeaders, groupFooters; // by group level
};

// Which row a band instance shows.
struct BandContext {
    int row = -1; // 0-based; -1 when there is none
    int level = -1;
    BandKind kind = BandKind::Detail;
};

// The totals of the rows placed on the current page so far.
struct PageTotals {
    std::vector<format::Aggregator> aggregates; // by aggregate slot
    std::vector<format::expr::Total> exprs;     // by expression slot
    int64_t rows = 0;
};

// Fills bands with values: references, formats, row numbers, and the totals of each scope (report,
// the open groups, the page so far). Knows the group ranges; where bands go is not its business.
class BandEvaluator {
  public:
    BandEvaluator(const Template& tmpl, const ReportData& data, TextMeasurer& measurer);

    const ReportBands& bands() const { return m_bands; }
    int rowCount() const { return static_cast<int>(m_data.rows.size()); }
    int groupCount() const { return static_cast<int>(m_tmpl.groups.size()); }

    // The outermost group level whose fields differ between two rows; groupCount() if none does.
    int firstChange(int a, int b) const;
    // "'Acme'", the group's field values at a row, for page descriptions.
    std::string groupLabel(int level, int row) const;

    // A group at `level` begins at row `first`: its range and totals are known from here on.
    void beginGroup(int level, int first);
    // The groups that a band placed now belongs to: levels 0 .. count-1.
    void setOpenGroups(int count) { m_openGroups = count; }
    int openGroups() const { return m_openGroups; }
    int groupStart(int level) const { return m_groupStart[size_t(level)]; }

    void resetPageTotals();
    void countOnPage(int row);
    const PageTotals& pageTotals() const { return m_page; }
    void setPageTotals(const PageTotals& totals) { m_page = totals; }

    // Lays out one instance of a band: texts filled in (page count left to the marks), wrapped, and the
    // band grown for text that may grow.
    void evaluate(const CompiledBand& band, const BandContext& ctx, int pageNumber, BandInstance& out);

    // Values that could not be computed (text times a number, division by zero), told once per expression
    // with the first reason:
    // "bands.detail.items[2] {qty*price}: cannot multiply the text \"abc\": not a number".
    const std::vector<std::string>& warnings() const { return m_warnings; }

  private:
    struct Place {
        int row = -1;
        const CompiledBand* band = nullptr;
        int pageNumber = 0;
    };
    CompiledBand compile(const Band& band, BandKind kind, int level, std::string path);
    void addSlots(CompiledExpr& expr);
    format::expr::Value evalNode(const CompiledExpr& expr, int node, const Place& at);
    // The expression's value, or empty with a warning when it cannot be computed.
    format::expr::Value evalOrWarn(const CompiledExpr& expr, const Place& at);
    const format::expr::Value& fieldValue(int row, int field);
    std::pair<AggregateScope, int> resolveScope(AggregateScope scope, const CompiledBand& band) const;
    void warn(const std::string& where, const std::string& source, const std::string& why);
    int ruleStyle(const Item& item, const CompiledBand& band, size_t index, const Place& at, bool& hidden);
    const ScalarValue& cellAt(int row, int field) const;
    void evaluateText(const Expression& expr, int style, const CompiledBand& band, const BandContext& ctx,
                      int pageNumber);
    void appendInteger(int64_t v, const Segment& seg);
    void appendAggregate(const Segment& seg, int style, const CompiledBand& band);
    const std::string& effectiveFormat(const Segment& seg, int style, const std::string& declared) const;

    const Template& m_tmpl;
    const ReportData& m_data;
    TextMeasurer& m_measurer;
    ReportBands m_bands;

    std::vector<format::FieldType> m_fieldTypes, m_paramTypes;
    std::vector<format::TypedValue> m_paramValues;
    std::vector<std::vector<int>> m_groupFields; // by level: field indexes

    std::vector<int> m_aggSlot;                           // field index → slot, -1 if no aggregate uses it
    std::vector<int> m_aggFields;                         // slot → field index
    std::vector<std::vector<format::TypedValue>> m_typed; // slot → value per row, converted once
    std::vector<format::Aggregator> m_report;
    std::vector<std::vector<format::Aggregator>> m_group; // by level, then slot
    std::vector<int> m_groupStart, m_groupEnd;            // by level: the rows of the current group
    int m_openGroups = 0;
    PageTotals m_page;

    std::vector<std::vector<format::expr::Value>> m_exprValues; // expression slot → value per row
    std::vector<format::expr::Total> m_exprReport;
    std::vector<std::vector<format::expr::Total>> m_exprGroup; // by level, then expression slot
    std::vector<std::string> m_warnings;
    // The converted fields of the row being evaluated: expressions often name a field more than once.
    int m_cachedRow = -2;
    std::vector<format::expr::Value> m_cachedFields;
    std::vector<char> m_cached;
    std::unordered_set<std::string> m_warned;

    std::string m_text; // the text being filled, before wrapping
    std::vector<uint32_t> m_countsAt;
    std::string m_wrapped;
};

} // namespace verolux::reports
