#!/usr/bin/env python3
"""Mutation check: do the tests notice a fault put into the code?

For each row of a list (file, original text, replacement), puts the replacement in place of the one
occurrence of the original, builds the test programs of the row's group, runs their tests with ctest
and notes whether any test failed (the fault is killed) or none did (it survived). The file is always
restored. The default list covers the report engine's core: template file, layout, values and formats.

usage: scripts/mutate.py [--build-dir build/dev] [--list rows.py] [--only SUBSTRING] [--timeout 120]
A list file defines ROWS like the default below: (group, file, original, replacement).
"""
import argparse
import re
import signal
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# group: the test programs that build and run for a mutation in it.
GROUPS = {
    "core": ["test_report_core", "test_report_format"],
    "engine": ["test_report_core", "test_report_engine"],
    "design": ["test_report_design"],
    "expr": ["test_report_core", "test_report_format", "test_report_design"],
}

D = "agent/reports/design/"
M = "agent/reports/model/"
L = "agent/reports/layout/"
F = "agent/reports/format/"
X = "agent/reports/format/Expr"
ROWS = [
    # What users see on paper.
    ("core", L + "BandEvaluator.cpp", "appendInteger(ctx.row + 1, seg)", "appendInteger(ctx.row, seg)"),
    ("core", L + "BandEvaluator.cpp", "m_groupStart[size_t(m_openGroups - 1)]", "m_groupStart[0]"),
    ("core", L + "BandEvaluator.cpp", "scope = AggregateScope::Page;", "scope = AggregateScope::Report;"),
    ("core", L + "BandEvaluator.cpp", "if (need > it.h + kLayoutEpsilon)", "if (need > it.h + 1)"),
    ("core", L + "BandEvaluator.cpp", "std::abs(it.y + it.h - band.height) < kLayoutEpsilon",
     "std::abs(it.y + it.h - band.height) < 0"),
    ("core", L + "Paginator.cpp", "double keep = bands.detail.height();", "double keep = 0;"),
    ("core", L + "Paginator.cpp", "m_values.setOpenGroups(level + 1);", "m_values.setOpenGroups(level);"),
    ("core", L + "Paginator.cpp", "newPage && m_pages.bodyUsed()", "newPage && false"),
    ("core", L + "PageFlow.cpp", "m_tmpl.groups[size_t(level)].repeatHeader && header.present()",
     "header.present()"),
    ("core", L + "PageFlow.cpp", "put(m_band, m_bodyBottom);", "put(m_band, m_y);"),
    ("core", L + "PageFlow.cpp", "keep > m_bodyBottom + kLayoutEpsilon && m_bodyUsed",
     "keep > m_bodyBottom + kLayoutEpsilon"),
    ("core", L + "PageFlow.cpp", "text += count;", "text += \"0\";"),
    ("core", L + "BandInstance.cpp", "(limit - item.y - 2 * padding)", "(limit - item.y - padding)"),
    ("core", L + "BandInstance.cpp", "fit > 0 && counts[k].offset <= cut", "counts[k].offset < cut"),
    ("core", L + "BandInstance.cpp", "&& !cuttable(item)", ""),
    ("core", L + "ColumnFlow.cpp", "if (m_cellCount == size_t(m_columns.count)) placeLine();",
     "if (m_cellCount == size_t(m_columns.count) + 1) placeLine();"),
    ("core", L + "ColumnFlow.cpp", "k = (n + cols - 1) / cols;", "k = n / cols + 1;"),
    ("core", L + "ColumnFlow.cpp", "if (whole) stretch(", "if (false) stretch("),
    ("core", L + "ColumnFlow.cpp", "m_values.setPageTotals(m_beforeLine);", ";"),
    ("core", L + "TextWrap.cpp", "if (blank && i == lineStart)", "if (false)"),
    ("core", L + "TextWrap.cpp", "if (acc + cw > m_width && j > lineStart)", "if (acc + cw >= m_width && j > lineStart)"),
    ("core", L + "TextWrap.cpp", "    case 0x3002:\n", ""),
    ("core", L + "Expression.cpp", 'else if (sys == "pages")', 'else if (sys == "pagez")'),
    ("core", F + "Aggregator.cpp", "return TypedValue::ofInteger(m_count);",
     "return TypedValue::ofInteger(m_numericCount);"),
    ("core", F + "DecimalDigits.cpp", "roundUp = s[i] >= '5';", "roundUp = s[i] > '5';"),
    ("core", F + "ChineseAmount.cpp", 'return "零元整";', 'return "零元";'),
    # Limits.
    ("core", L + "PageFlow.cpp", "if (m_out.pages.size() == kMaxReportPages)",
     "if (m_out.pages.size() == kMaxReportPages + 1)"),
    ("core", L + "Paginator.cpp", "if (tmpl.groups.size() > kMaxGroupLevels)", "if (false)"),
    ("core", M + "JsonSyntax.cpp", "depth >= m_maxDepth", "depth > m_maxDepth"),
    # The template file.
    ("core", M + "TemplateReader.cpp", "if (fixed >= usable)", "if (fixed > usable)"),
    ("core", M + "TemplateReader.cpp", "if (count != std::floor(count))", "if (false)"),
    ("core", M + "TemplateReader.cpp", "if (!r || r->keepText) k.text", "if (!r) k.text"),
    ("core", M + "TemplateReader.cpp", "if (own(\"padding\", kStylePadding))", "if (own(\"padding\", 0))"),
    ("core", M + "TemplateWriter.cpp", "previous = placed[i];", ";"),
    ("core", M + "TemplateWriter.cpp", "if (!k.text.empty() && CompactJson(m.value) == k.canonical)", "if (false)"),
    ("core", M + "TemplateWriter.cpp", "} else if (!k.known && at == index.end()) {", "} else if (false) {"),
    ("core", M + "TemplateWriter.cpp", "put(o, k, \"style\", s != 0,", "put(o, k, \"style\", false,"),
    ("core", M + "Template.cpp", "if (i == 0 || fromBuiltIn) break;", "if (i == 0) break;"),
    ("core", M + "Template.cpp", "CopyStyleKeys(~st.own,", "CopyStyleKeys(~0u,"),
    ("core", M + "JsonOut.cpp", "v = std::round(v * 1e6) / 1e6;", ";"),
    # The designer's editing core: edits, their undo, geometry, snapping, drops.
    ("design", D + "ItemEdits.cpp", "it.x = RoundMm(std::max(0.0, it.x + dx));", "it.x = RoundMm(it.x + dx);"),
    ("design", D + "ItemEdits.cpp", "for (auto i = list.rbegin(); i != list.rend(); ++i)\n            band.items.erase",
     "for (auto i = list.begin(); i != list.end(); ++i)\n            band.items.erase"),
    ("design", D + "ItemEdits.cpp", "const int start = front ? static_cast<int>(rest.size()) : 0;",
     "const int start = 0;"),
    ("design", D + "ItemEdits.cpp", "copy.x = RoundMm(copy.x + offset);", "copy.y = RoundMm(copy.y + offset);"),
    ("design", D + "ItemEdits.cpp", "it.y = RoundMm(std::max(0.0, it.y));\n        Band& dest", "Band& dest"),
    ("design", D + "Edit.cpp", "for (auto p = m_parts.rbegin(); p != m_parts.rend(); ++p)",
     "for (auto p = m_parts.begin(); p != m_parts.end(); ++p)"),
    ("design", D + "Edit.cpp", "if (!changed) return std::nullopt;", ";"),
    ("design", D + "UndoStack.cpp", "if (m_clean > static_cast<long>(m_index)) m_clean = -1;", ";"),
    ("design", D + "UndoStack.cpp", "m_clean = m_clean > 0 ? m_clean - 1 : -1;", "m_clean = m_clean - 1;"),
    ("design", D + "DesignDocument.cpp", "std::vector<ItemRef> before = m_steps.edit(m_steps.index() - 1).selectionBefore;",
     "std::vector<ItemRef> before = m_steps.edit(m_steps.index() - 1).selectionAfter;"),
    ("design", D + "DesignLayout.cpp", "if (y < b.bottom()) break;", ";"),
    ("design", D + "DesignLayout.cpp", "y = std::max(y, out.paperHeight - page.marginBottom - h);",
     "y = std::max(y, out.paperHeight - page.marginBottom);"),
    ("design", D + "DesignLayout.cpp", "return a.y != c.y ? a.y < c.y : a.x < c.x;", "return a.x < c.x;"),
    ("design", D + "Snap.cpp", "if (d <= best) {", "if (d < best) {"),
    ("design", D + "Snap.cpp", "if (settings.grid) out.shift", "if (false) out.shift"),
    ("design", D + "Snap.cpp", "return RectMm{l, t, r - l, b - t}.normalized();", "return RectMm{l, t, r - l, b - t};"),
    ("design", D + "Arrange.cpp", "const double gap = (span - total) / double(boxes.size() - 1);",
     "const double gap = (span - total) / double(boxes.size());"),
    ("design", D + "Arrange.cpp", "box.x = all.centerX() - box.w / 2;", "box.x = all.centerX();"),
    ("design", D + "StructureEdits.cpp", "if (fixed >= usable)", "if (fixed > usable + 100)"),
    ("design", D + "StructureEdits.cpp", "if (!present) live.items.clear();", ";"),
    ("design", D + "StructureEdits.cpp", "std::replace(g.fields.begin(), g.fields.end(), from, name);",
     "std::replace(g.fields.begin(), g.fields.end(), name, from);"),
    ("design", D + "StructureEdits.cpp", "if (doc.tmpl().parameters[i].name == \"title\" && ", "if ("),
    ("design", D + "StyleEdits.cpp", "if (i == index) return EditResult::refused", "if (false) return EditResult::refused"),
    ("design", D + "StyleEdits.cpp", "            else if (it.style > index)\n", "            else if (it.style > index + 1)\n"),
    ("design", D + "StyleEdits.cpp", "if (styles[from].name.empty() && StyleUsers(b.tmpl(), int(from)) == 1) {",
     "if (styles[from].name.empty()) {"),
    ("design", D + "Clipboard.cpp", "if (found < 0) {", "if (true) {"),
    ("design", D + "Clipboard.cpp", "if (const double up = std::min(top, bottom - height); height > 0 && up > 0)",
     "if (const double up = bottom - height; height > 0 && up > 0)"),
    ("design", D + "References.cpp", "r.kind = Reference::Kind::Parameter;", "r.kind = Reference::Kind::Plain;"),
    ("design", D + "ReferenceDrop.cpp", "at = std::max(rightmost(target->items), rightmost(above));",
     "at = rightmost(target->items);"),
    ("design", D + "ReferenceDrop.cpp", "return w + 2 * st.padding + kSlack;", "return w + kSlack;"),
    ("design", D + "ReferenceDrop.cpp", "headBand.height = title.h;", ";"),
    ("design", D + "DragGesture.cpp", "m_dx = std::max(dx, -minX);", "m_dx = dx;"),
    ("design", D + "DragGesture.cpp", "m_dropBand = target && *target != m_grabbed.band ? target : std::nullopt;",
     "m_dropBand = target && false ? target : std::nullopt;"),
    ("design", D + "DragGesture.cpp", "if (snap.grid && !free) h = SnapToGrid(h, snap.gridStep);",
     "if (snap.grid) h = SnapToGrid(h, snap.gridStep);"),
    ("design", D + "DragGesture.cpp", "if (m_handle != Handle::Top && m_handle != Handle::Bottom) {", "if (true) {"),
    ("design", D + "DragGesture.cpp", "if (sy.guide) m_guides.push_back({false, land->top + *sy.guide});",
     "if (sy.guide) m_guides.push_back({false, home->top + *sy.guide});"),
    # Expressions: syntax, values, their evaluation per row, the checks of a template's expressions.
    ("expr", X + "Syntax.cpp", "a = binary(op, pos, a, unaryExpr());", "a = binary(op, pos, unaryExpr(), a);"),
    ("expr", X + "Syntax.cpp", "int a = multiplicative();\n        while (isPunct(\"+\") || isPunct(\"-\")) {",
     "int a = unaryExpr();\n        while (isPunct(\"+\") || isPunct(\"-\")) {"),
    ("expr", X + "Syntax.cpp", "if (isPunct(t2)) fail(", "if (isPunct(t2) && false) fail("),
    ("expr", X + "Syntax.cpp", "return neg ? unary(Op::Neg, pos, a) : a;", "return neg && false ? unary(Op::Neg, pos, a) : a;"),
    ("expr", X + "Syntax.cpp", "if (depth > kMaxExpressionTreeDepth)", "if (depth > kMaxExpressionTreeDepth * 100)"),
    ("expr", X + "Syntax.cpp", "return body.find_first_of(\"+-*/%&<>=!(),\\\"'\") != std::string_view::npos;",
     "return body.find_first_of(\"+-*/%&<>=!(),\") != std::string_view::npos;"),
    ("expr", X + "Value.cpp", "if (y.isZero()) fail(\"division by zero\");", ";"),
    ("expr", X + "Value.cpp", "const bool currency = a.currency || b.currency;", "const bool currency = a.currency;"),
    ("expr", X + "Value.cpp", "return Value::ofNumber(Checked(x.subtract(y), \"the difference\"), currency);",
     "return Value::ofNumber(Checked(y.subtract(x), \"the difference\"), currency);"),
    ("expr", X + "Value.cpp", "if (a.isEmpty() || b.isEmpty()) return Value::ofBoolean(false); // nothing to order", ";"),
    ("expr", X + "Value.cpp", "const bool r = op == Op::Lt ? c < 0 : op == Op::Le ? c <= 0",
     "const bool r = op == Op::Lt ? c <= 0 : op == Op::Le ? c <= 0"),
    ("expr", X + "Value.cpp", "        return !v.number.isZero();", "        return true;"),
    ("expr", X + "Value.cpp", "{\"round\", 1, 2}", "{\"round\", 1, 3}"),
    ("expr", X + "Value.cpp", "chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;", "chars += c != 0;"),
    ("expr", X + "Value.cpp", "        ++m_numeric;\n", ""),
    ("expr", X + "Value.cpp", "auto avg = m_sum.divide(Decimal::fromInteger(m_numeric));",
     "auto avg = m_sum.divide(Decimal::fromInteger(m_count));"),
    ("expr", X + "Value.cpp", "if (!numberFormat && !v.currency) return v.number.toString();",
     "if (!numberFormat) return v.number.toString();"),
    ("expr", F + "Decimal.cpp", "std::optional<Decimal> Decimal::round(int decimals) const {",
     "std::optional<Decimal> Decimal::round(int decimals) const {\n    decimals += 1;"),
    ("expr", L + "BandEvaluator.cpp", "if (n.op == format::expr::Op::And && !format::expr::Truth(a)) return",
     "if (n.op == format::expr::Op::And && format::expr::Truth(a)) return"),
    ("expr", L + "BandEvaluator.cpp", "if (format::expr::Truth(evalNode(expr, n.args[0], at))) return evalNode(expr, n.args[1], at);",
     "if (format::expr::Truth(evalNode(expr, n.args[0], at))) return evalNode(expr, n.args.back(), at);"),
    ("expr", L + "BandEvaluator.cpp", "hidden = !item.rules[r].visible;", "hidden = !item.rules[r].visible && false;"),
    ("expr", L + "RuleStyles.cpp", "tmpl.styles[size_t(overlay)].own & kRuleStyleKeys",
     "tmpl.styles[size_t(overlay)].own & kStyleColor"),
    ("expr", M + "TemplateExpressions.cpp", "if (inAggregate) {", "if (false) {"),
    ("expr", M + "TemplateExpressions.cpp", "return s == \"group\" || s == \"page\" || s == \"report\";",
     "return s == \"group\" || s == \"page\" || s == \"report\" || s == \"week\";"),
    ("expr", M + "TemplateExpressions.cpp", "chars += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;",
     "++chars;"),
    ("expr", M + "TemplateReader.cpp", "if (p.broken) result.warnings", "if (p.broken && false) result.warnings"),
    ("expr", M + "TemplateExpressions.cpp", "TextOperands(ast, n.args[a], IsArithmetic(n) || (adds && a == 0), tmpl, out);",
     "TextOperands(ast, n.args[a], IsArithmetic(n) || (adds && a == 5), tmpl, out);"),
    ("expr", D + "RowValues.cpp", "if (place > open && place <= close) inside = true;",
     "if (place >= open && place <= close) inside = true;"),
    ("expr", D + "RowValues.cpp", "if (format::expr::Truth(RowEval{parsed.ast, tmpl, row}.eval(parsed.ast.root))) return int(r);",
     "if (format::expr::Truth(RowEval{parsed.ast, tmpl, row}.eval(parsed.ast.root))) return int(r) + 1;"),
    ("expr", D + "RowValues.cpp", "if (d && v.text.find_first_of(\".eE\") != std::string::npos) integers = false;", ";"),
    # Text on its way to Qt.
    ("engine", "agent/reports/engine/PdfFont.cpp", "if (cp >= 0x10000) {\n        chars[0]",
     "if (cp > 0x10000) {\n        chars[0]"),
]


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, capture_output=True, text=True, **kw)


def suites(build, programs):
    """The gtest suites of the group's programs, as a ctest name filter."""
    names = set()
    for p in programs:
        out = run([str(build / "bin" / p), "--gtest_list_tests"]).stdout
        names.update(line.strip() for line in out.splitlines() if line and not line.startswith(" ")
                     and line.strip().endswith("."))
    return "^(" + "|".join(re.escape(n) for n in sorted(names)) + ")"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build-dir", default="build/dev")
    ap.add_argument("--list", help="a Python file defining ROWS")
    ap.add_argument("--only", help="run only the rows whose file, original or replacement holds this text")
    ap.add_argument("--group", choices=sorted(GROUPS), help="run only the rows of this group")
    ap.add_argument("--timeout", type=int, default=120, help="seconds per test (a hanging mutant is killed)")
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # so that the file in hand is restored
    build = (ROOT / args.build_dir).resolve()
    rows = ROWS
    if args.list:
        scope = {}
        exec(Path(args.list).read_text(), scope)
        rows = scope["ROWS"]
    if args.group:
        rows = [r for r in rows if r[0] == args.group]
    if args.only:
        rows = [r for r in rows if args.only in r[2] or args.only in r[3] or args.only in r[1]]

    filters = {}
    results = []
    for group, rel, original, replacement in rows:
        programs = GROUPS[group]
        path = ROOT / rel
        text = path.read_text()
        label = f"{rel}: {original.strip()!r} -> {replacement.strip()!r}"
        if text.count(original) != 1:
            results.append(("missing", label))
            print(f"missing   {label}", flush=True)
            continue
        if group not in filters:
            if run(["cmake", "--build", str(build), "--target", *programs]).returncode != 0:
                sys.exit(f"the unchanged code does not build ({group})")
            filters[group] = suites(build, programs)
        try:
            path.write_text(text.replace(original, replacement))
            built = run(["cmake", "--build", str(build), "--target", *programs])
            if built.returncode != 0:
                outcome = "not built"
            else:
                tested = run(["ctest", "--test-dir", str(build), "-R", filters[group], "-j2", "--timeout",
                              str(args.timeout), "--stop-on-failure", "-Q"])
                outcome = "killed" if tested.returncode != 0 else "SURVIVED"
        finally:
            path.write_text(text)
        results.append((outcome, label))
        print(f"{outcome:9} {label}", flush=True)

    for group in filters:  # leave the programs built from the unchanged code
        run(["cmake", "--build", str(build), "--target", *GROUPS[group]])
    counted = [r for r in results if r[0] in ("killed", "SURVIVED")]
    killed = sum(1 for r in counted if r[0] == "killed")
    print(f"\n{killed} of {len(counted)} faults killed"
          + "".join(f"; {sum(1 for r in results if r[0] == k)} {k}" for k in ("not built", "missing")
                    if any(r[0] == k for r in results)))
    for outcome, label in results:
        if outcome == "SURVIVED":
            print(f"survived: {label}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
