#pragma once

#include "agent/reports/engine/Report.h"
#include "common/JsonReader.h"

#include <QFile>
#include <QString>

namespace verolux::reports::testfill {

// Loads a template and fills it from a print-request file the way the report windows do: parameters
// from the top-level keys of their names, one record per `repdata` element. Empty string on success.
inline QString LoadAndFill(Report& report, const QString& templatePath, const QString& requestPath) {
    if (!report.LoadTemplate(templatePath)) return report.lastError();
    QFile file(requestPath);
    if (!file.open(QIODevice::ReadOnly)) return requestPath + QStringLiteral(": ") + file.errorString();
    const QByteArray text = file.readAll();
    try {
        const JsonDocument doc = JsonDocument::Parse(std::string_view(text.constData(), size_t(text.size())));
        const JsonValue root = doc.root();
        for (int i = 1; i <= report.Parameters().count(); ++i) {
            ReportValue& p = report.Parameters().item(i);
            p.setValue(root.value(p.name()));
        }
        report.PrepareRecords();
        const JsonValue rows = doc.requiredArray("repdata", 32767);
        for (std::size_t m = 0; m < rows.size(); ++m) {
            report.AppendRecord();
            for (int j = 1; j <= report.Fields().count(); ++j) {
                ReportValue& f = report.Fields().item(j);
                f.setValue(rows.element(m).value(f.name()));
            }
            report.PostRecord();
        }
        report.ReportTitle(QString::fromStdString(doc.requiredText("repname")));
    } catch (const JsonError& e) {
        return requestPath + QStringLiteral(": ") + QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace verolux::reports::testfill
