#pragma once

#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"

#include <QFile>
#include <QString>

namespace verolux::reports::testfill {

// Loads a template and fills it from a print-request file the way the report windows do. Empty
// string on success.
inline QString LoadAndFill(Report& report, const QString& templatePath, const QString& requestPath) {
    if (!report.LoadTemplate(templatePath)) return report.lastError();
    QFile file(requestPath);
    if (!file.open(QIODevice::ReadOnly)) return requestPath + QStringLiteral(": ") + file.errorString();
    try {
        FillFromRequest(report, JsonDocument::Parse(file.readAll().toStdString()));
        return {};
    } catch (const JsonError& e) {
        return requestPath + QStringLiteral(": ") + QString::fromUtf8(e.what());
    }
}

} // namespace verolux::reports::testfill
