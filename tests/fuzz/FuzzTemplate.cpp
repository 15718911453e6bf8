// The template reader on any bytes: it loads the file or says why, and never crashes or runs away. What
// loads is saved, and the saved file loads again and saves to the same bytes; it is laid out with a row,
// within the layout limits.
#include "agent/reports/layout/Paginator.h"
#include "agent/reports/model/TemplateFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace verolux;
using namespace verolux::reports;

namespace {

// 2 mm a byte, 5 mm a line: enough to wrap and split.
class ByteMeasurer : public TextMeasurer {
  public:
    double textWidth(int, std::string_view text) override { return 2.0 * double(text.size()); }
    double lineHeight(int) override { return 5; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto loaded = ParseTemplate(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!loaded) {
        check(!loaded.error.empty());
        return 0;
    }
    const std::string saved = WriteTemplate(*loaded.tmpl);
    const auto again = ParseTemplate(saved);
    check(bool(again));
    check(WriteTemplate(*again.tmpl) == saved);

    ReportData rows;
    rows.rows.push_back(
        std::vector<ScalarValue>(loaded.tmpl->fields.size(), ScalarValue::fromText("Acme 12")));
    ByteMeasurer measurer;
    const LaidOutReport report = Paginate(*loaded.tmpl, rows, measurer);
    check(report.error.empty() == !report.pages.empty());
    return 0;
}
