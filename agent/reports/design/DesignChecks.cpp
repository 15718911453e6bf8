#include "agent/reports/design/DesignChecks.h"

#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/References.h"
#include "agent/reports/design/RowValues.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/model/TemplateExpressions.h"

namespace verolux::reports::design {

namespace {

constexpr double kEpsilon = 0.01; // mm: below this, edges that touch are not overlaps

std::string describe(const Template& t, ItemRef ref) {
    return BandLabel(t, ref.band) + " 第 " + std::to_string(ref.index + 1) + " 项";
}

std::string mm(double v) {
    std::string s = std::to_string(RoundMm(v));
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

// Unknown names in expressions are told like those of plain references, by name.
void expressionProblems(const Template& t, ItemRef ref, const std::vector<ExpressionProblem>& problems,
                        const std::string& where, std::vector<DesignProblem>& out) {
    for (const ExpressionProblem& p : problems)
        out.push_back({p.broken ? DesignProblem::Kind::Expression : DesignProblem::Kind::UnknownName,
                       ref.band, ref,
                       describe(t, ref) + where + "第 " + std::to_string(p.character) + " 个字符：" +
                           (p.broken ? "表达式无法计算（" : "未声明的名称（") + p.message + "）"});
}

} // namespace

std::vector<DesignProblem> CheckDesign(const Template& tmpl) {
    std::vector<DesignProblem> out;
    const PageSetup& page = tmpl.page;
    const double width = page.pageWidth() - page.marginLeft - page.marginRight;
    const double room = page.pageHeight() - page.marginTop - page.marginBottom -
                        (tmpl.pageHeader.present ? tmpl.pageHeader.height : 0) -
                        (tmpl.pageFooter.present ? tmpl.pageFooter.height : 0) -
                        (tmpl.columnHeader.present ? tmpl.columnHeader.height : 0);
    if (tmpl.detail.present && tmpl.detail.height > room + kEpsilon)
        out.push_back(
            {DesignProblem::Kind::DetailTooTall, BandRef{BandSlot::Detail}, std::nullopt,
             "明细带区高 " + mm(tmpl.detail.height) + " 毫米，超过页面上留给明细的 " + mm(room) + " 毫米"});
    const double columnWidth = tmpl.detail.columns.any() ? ColumnWidth(tmpl.detail.columns, page) : width;

    for (BandRef bref : PresentBands(tmpl)) {
        const Band& band = *FindBand(tmpl, bref);
        const double bandWidth = bref.slot == BandSlot::Detail ? columnWidth : width;
        // Boxes once per band: the overlap test below looks at every pair.
        std::vector<RectMm> boxes;
        std::vector<bool> texts;
        boxes.reserve(band.items.size());
        texts.reserve(band.items.size());
        for (const Item& it : band.items) {
            boxes.push_back(ItemBox(it));
            texts.push_back(it.kind == ItemKind::Text);
        }
        for (size_t i = 0; i < band.items.size(); ++i) {
            const Item& it = band.items[i];
            const ItemRef ref{bref, int(i)};
            const RectMm box = boxes[i];
            if (box.right() > width + kEpsilon)
                out.push_back(
                    {DesignProblem::Kind::OutsidePage, bref, ref, describe(tmpl, ref) + "超出页面右边距"});
            else if (bref.slot == BandSlot::Detail && box.right() > bandWidth + kEpsilon)
                out.push_back({DesignProblem::Kind::OutsideBand, bref, ref,
                               describe(tmpl, ref) + "超出明细分栏的宽度"});
            if (box.bottom() > band.height + kEpsilon)
                out.push_back(
                    {DesignProblem::Kind::OutsideBand, bref, ref, describe(tmpl, ref) + "超出带区底部"});
            if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode) {
                for (const std::string& name : UndeclaredNames(it.text, tmpl))
                    out.push_back({DesignProblem::Kind::UnknownName, bref, ref,
                                   describe(tmpl, ref) + "引用了未声明的名称“" + name + "”"});
                expressionProblems(tmpl, ref, CheckReferenceText(it.text, tmpl), "", out);
                for (const std::string& name : TextFieldsInArithmetic(it.text, tmpl))
                    out.push_back({DesignProblem::Kind::TextArithmetic, bref, ref,
                                   describe(tmpl, ref) + "用文本字段“" + name + "”计算，应改为数字类型",
                                   name});
            }
            for (size_t r = 0; r < it.rules.size(); ++r)
                expressionProblems(tmpl, ref, CheckCondition(it.rules[r].when, tmpl),
                                   "条件 " + std::to_string(r + 1) + " ", out);
            if (it.kind != ItemKind::Text) continue;
            for (size_t j = i + 1; j < band.items.size(); ++j) {
                if (!texts[j]) continue;
                const RectMm& o = boxes[j];
                const bool overlap = box.x < o.right() - kEpsilon && o.x < box.right() - kEpsilon &&
                                     box.y < o.bottom() - kEpsilon && o.y < box.bottom() - kEpsilon;
                if (overlap)
                    out.push_back(
                        {DesignProblem::Kind::Overlap, bref, ItemRef{bref, int(j)},
                         describe(tmpl, {bref, int(j)}) + "与第 " + std::to_string(i + 1) + " 项重叠"});
            }
        }
    }
    return out;
}

bool MakeFieldNumber(DesignDocument& doc, const std::string& field, const std::vector<ScalarValue>& column) {
    const auto& fields = doc.tmpl().fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != field) continue;
        Declared d = fields[i];
        d.type = GuessFieldType(column);
        if (d.type != "integer" && d.type != "decimal") d.type = "decimal";
        return bool(UpdateDeclared(doc, DeclaredKind::Field, int(i), d));
    }
    return false;
}

} // namespace verolux::reports::design
