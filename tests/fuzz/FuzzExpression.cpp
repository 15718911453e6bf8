// Template expressions on any bytes: as a reference in a text item and as a rule's condition. The text
// either loads or says where it cannot be read; what loads is laid out over rows of awkward values
// (text, empty, huge and tiny numbers, zero) without crashing, and saves to the same bytes again.
#include "agent/reports/format/ExprSyntax.h"
#include "agent/reports/layout/Paginator.h"
#include "agent/reports/model/TemplateFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace verolux;
using namespace verolux::reports;

namespace {

class ByteMeasurer : public TextMeasurer {
  public:
    double textWidth(int, std::string_view text) override { return 2.0 * double(text.size()); }
    double lineHeight(int) override { return 5; }
};

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto parsed = format::expr::ParseExpression(input);
    check(parsed ? parsed.ast.root >= 0 : parsed.error->pos <= input.size());

    const std::string text = JsonString("{" + std::string(input) + "}");
    const std::string when = JsonString(input);
    const std::string json = R"({"format": "verolux-report", "version": 1, "styles": {"hot": {"bold": true}},
      "parameters": [{"name": "rate", "type": "decimal"}],
      "fields": [{"name": "a"}, {"name": "n", "type": "integer"}, {"name": "c", "type": "currency"},
                 {"name": "d", "type": "decimal"}],
      "bands": {"detail": {"height": 6, "items": [{"type": "text", "x": 0, "y": 0, "w": 50, "h": 6, "text": )" +
                             text + R"(, "rules": [{"when": )" + when + R"(, "style": "hot"}]}]},
        "pageFooter": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 50, "h": 5, "text": )" +
                             text + R"(}]}},
      "groups": [{"by": "a", "footer": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 50, "h": 5,
                  "text": )" +
                             text + R"(}]}}]})";
    const auto loaded = ParseTemplate(json);
    if (!loaded) {
        check(!loaded.error.empty());
        return 0;
    }
    const std::string saved = WriteTemplate(*loaded.tmpl);
    const auto again = ParseTemplate(saved);
    check(bool(again));
    check(WriteTemplate(*again.tmpl) == saved);

    ReportData rows;
    rows.parameters = {ScalarValue::fromNumber("0.13")};
    for (const char* v : {"abc", "", "0", "-99999999999999999999999999", "1e-30", "12.5"})
        rows.rows.push_back({ScalarValue::fromText(v), ScalarValue::fromText(v), ScalarValue::fromText(v),
                             ScalarValue::fromText(v)});
    ByteMeasurer measurer;
    const LaidOutReport report = Paginate(*loaded.tmpl, rows, measurer);
    check(report.error.empty() == !report.pages.empty());
    return 0;
}
