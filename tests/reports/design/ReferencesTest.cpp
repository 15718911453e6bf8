#include "agent/reports/design/References.h"
#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

using namespace verolux::reports;
using namespace verolux::reports::design;

namespace {

// Fields amount, customer; parameters title, customer (shadowed by the field), note.
Template Declarations() {
    Template t;
    for (const char* f : {"amount", "customer"})
        t.fields.push_back({f, "text", "", "", {}});
    for (const char* p : {"title", "customer", "note"})
        t.parameters.push_back({p, "text", "", "", {}});
    return t;
}

struct RenameRow {
    const char* name;
    DeclaredKind kind;
    const char* from;
    const char* to;
    const char* text;
    const char* expected;
};

// Why each expected text is right: a plain {name} is the field when there is one, else the parameter.
const RenameRow kRenames[] = {
    {"field, plain and formatted", DeclaredKind::Field, "amount", "total", "{amount} / {amount|#,##0.00}",
     "{total} / {total|#,##0.00}"},
    {"field in aggregates with scope", DeclaredKind::Field, "amount", "total",
     "{sum(amount)} {avg( amount , page)}", "{sum(total)} {avg( total , page)}"},
    {"field leaves escaped braces and other names", DeclaredKind::Field, "amount", "total",
     "{{amount}} {amounts} {$amount} {#page}", "{{amount}} {amounts} {$amount} {#page}"},
    {"field leaves an unclosed brace", DeclaredKind::Field, "amount", "total", "共 {amount} 元 {amount",
     "共 {total} 元 {amount"},
    {"parameter with $", DeclaredKind::Parameter, "title", "heading", "{$title}{$ title }",
     "{$heading}{$ heading }"},
    {"parameter plain when no field shadows it", DeclaredKind::Parameter, "note", "memo", "备注：{note}",
     "备注：{memo}"},
    {"plain name of a shadowed parameter is the field's", DeclaredKind::Parameter, "customer", "client",
     "{customer} {$customer}", "{customer} {$client}"},
    {"plain parameter reference that a field would shadow gets its $", DeclaredKind::Parameter, "note",
     "amount", "{note}", "{$amount}"},
};

class RenameInTextRow : public testing::TestWithParam<RenameRow> {};

} // namespace

TEST_P(RenameInTextRow, RewritesOnlyWhatRefersToTheName) {
    const RenameRow& r = GetParam();
    EXPECT_EQ(RenameInText(r.text, r.kind, r.from, r.to, Declarations()), r.expected);
}

INSTANTIATE_TEST_SUITE_P(References, RenameInTextRow, testing::ValuesIn(kRenames),
                         [](const testing::TestParamInfo<RenameRow>& row) {
                             std::string n;
                             for (char ch : std::string(row.param.name))
                                 n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return n;
                         });

TEST(References, UndeclaredNamesAreReportedOnce) {
    const Template t = Declarations();
    EXPECT_EQ(UndeclaredNames("{custmer} {amount} {$nope} {sum(qty)} {count()} {#pages} {custmer}", t),
              (std::vector<std::string>{"custmer", "nope", "qty"}));
}

TEST(References, CountCoversTextsBarcodesAndGroupKeys) {
    Template t = Declarations();
    t.detail.present = true;
    Item text, code;
    text.text = "{amount} {sum(amount)}";
    code.kind = ItemKind::Barcode;
    code.text = "{amount}";
    t.detail.items = {text, code};
    t.groups.push_back(Group{"g", {"amount"}, false, true, {}, {}, {}});
    EXPECT_EQ(CountReferences(t, DeclaredKind::Field, "amount"), 3);
    EXPECT_EQ(CountReferences(t, DeclaredKind::Field, "customer"), 0);
}
