#include "agent/reports/engine/RequestFill.h"

#include "agent/reports/engine/Report.h"
#include "common/RequestRules.h"

namespace verolux::reports {

void FillFromRequest(Report& report, const JsonDocument& request) {
    const JsonValue root = request.root();
    const JsonValue rows = request.requiredArray("repdata", kMaxRequestRows);

    ValueCollection& parameters = report.Parameters();
    for (int i = 1; i <= parameters.count(); ++i) {
        ReportValue& p = parameters.item(i);
        if (p.name() != kExtensionKey) p.setValue(root.value(p.name()));
    }

    report.PrepareRecords();
    ValueCollection& fields = report.Fields();
    const std::size_t rowCount = rows.size();
    for (std::size_t m = 0; m < rowCount; ++m) {
        const JsonValue row = rows.element(m);
        report.AppendRecord();
        for (int j = 1; j <= fields.count(); ++j)
            fields.item(j).setValue(row.value(fields.item(j).name()));
        report.PostRecord();
    }
    report.ReportTitle(QString::fromStdString(root.value("repname").text));
}

} // namespace verolux::reports
