#include "agent/reports/engine/Printing.h"

#include "agent/reports/engine/Report.h"

namespace verolux::reports {

int PrintReportTo(Report&, const QString& printerName, const PrintOptions&, QString* error) {
    if (error)
        *error = QStringLiteral("printer \"%1\": printing is not done on Windows yet").arg(printerName);
    return 0;
}

} // namespace verolux::reports
