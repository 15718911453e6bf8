#pragma once

#include "agent/reports/engine/Printing.h"
#include "agent/reports/engine/ValueCollection.h"
#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/layout/ReportData.h"
#include "agent/reports/model/Template.h"

#include <QObject>
#include <QPainter>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>

namespace verolux::reports {

class StyleFonts;
class QtTextMeasurer;
class PagePainter;
class PageCanvas;

// What ExportBegin hands its handler before an export starts. Handlers may read or change it.
struct ExportOptions {
    int type = 5; // 5 = PDF
    QString path;
    QString title; // written as the PDF's document title
    QString creator = QStringLiteral("Verolux");
};

// The report object: a template, its parameter values and records, and everything that makes pages
// of them. Fill it (LoadTemplate, Parameters, PrepareRecords, AppendRecord / Fields / PostRecord),
// then ExportToFile, PrintDirect, or paint pages for a viewer.
class Report : public QObject {
    Q_OBJECT
  public:
    static constexpr int kExportPdf = 5;

    explicit Report(QObject* parent = nullptr);
    ~Report() override;

    // --- the operations the report windows use ---
    bool LoadTemplate(const QString& path);
    ValueCollection& Parameters() { return m_parameters; }
    ValueCollection& Fields() { return m_fields; }
    void PrepareRecords();
    void AppendRecord();
    void PostRecord();
    void ReportTitle(const QString& title);
    QString ReportTitle() const { return m_title; }
    void PrinterName(const QString& name);
    QString PrinterName() const { return m_printerName; }
    // Prints through CUPS with printOptions(); mode: bit 0 all pages, bit 1 collate copies (3 = both);
    // showDialog: 0 (the engine shows no dialogs). The job's id is lastJobId() afterwards.
    bool PrintDirect(int mode, int showDialog);
    // type 5 = PDF; showOptions and openAfter: 0 (accepted and ignored otherwise).
    bool ExportToFile(int type, const QString& path, int showOptions, int openAfter);
    bool SaveTemplate(const QString& path);
    void ClearTemplate();

    // --- for viewers, printing and tests ---
    QString lastError() const { return m_lastError; }
    // Prints on `printerName` (the system default when empty) with `options`: the one print path,
    // behind PrintDirect and the viewer's print dialog. Sets lastJobId() or lastError().
    bool print(const QString& printerName, const PrintOptions& options);
    // Copies, duplex and page ranges of the next PrintDirect.
    void setPrintOptions(const PrintOptions& options) { m_printOptions = options; }
    const PrintOptions& printOptions() const { return m_printOptions; }
    // The CUPS job id of the last PrintDirect that succeeded; 0 before, and after a failed one.
    int lastJobId() const { return m_lastJobId; }
    // What names the report in the PDF, the print job and the dialogs: ReportTitle, else the template's.
    QString documentTitle() const;
    int recordCount() const { return static_cast<int>(m_data.rows.size()); }
    // The records posted, each by the template's field order (the designer's sample values).
    const std::vector<std::vector<ScalarValue>>& records() const { return m_data.rows; }
    const Template& reportTemplate() const { return *m_template; }
    void setTemplate(const Template& tmpl); // keeps parameter values and records whose names still exist
    // The printer output goes to: PrinterName, else the template's printer, else "" (system default).
    QString effectivePrinterName() const;

    int pageCount();
    QSizeF pageSizeMm() const; // orientation applied: width > height for landscape
    bool landscape() const;
    const LaidOutReport& layout();
    // Draws page `index` (0-based) in the painter's device pixels with the paper's top-left corner
    // at the origin. Shared by PDF export, printing and the screen.
    void paintPage(int index, QPainter& painter);
    void paintPage(int index, PageCanvas& canvas);
    // The fonts of the template's styles (valid after layout()).
    const StyleFonts& styleFonts();
    // What the template last loaded has that will not print as written (an expression that cannot be
    // read), one line each: "orders.grf: bands.detail.items[2].text: character 12: missing ')'".
    const QStringList& loadWarnings() const { return m_loadWarnings; }
    // Values of the last layout that could not be computed (each printed empty), one line each.
    QStringList warnings();

  signals:
    void ExportBegin(verolux::reports::ExportOptions* pOptionObject);
    // Once per layout for each value that could not be computed ("bands.detail.items[2] {a/b}:
    // division by zero"); also written as a Qt warning.
    void LayoutWarning(const QString& message);

  private:
    void adoptTemplate(std::unique_ptr<Template> tmpl);
    void invalidate() { ++m_generation; }
    void ensureLayout();
    bool layoutFits(); // false, with lastError, for a report beyond a layout limit or the picture budget

    std::unique_ptr<Template> m_template;
    // What is laid out and painted: the template itself, or a copy with the styles its conditional
    // formatting makes (layout/RuleStyles.h).
    std::unique_ptr<Template> m_printCopy;
    const Template* m_print = nullptr;
    QStringList m_loadWarnings;
    ValueCollection m_parameters, m_fields;
    ReportData m_data;
    bool m_inRecord = false;
    QString m_title, m_printerName, m_lastError;
    std::string m_pictureError; // why the template's pictures do not fit in the budget; "" if they do
    PrintOptions m_printOptions;
    int m_lastJobId = 0;

    uint64_t m_generation = 1, m_laidOutGeneration = 0;
    std::unique_ptr<StyleFonts> m_fonts;
    std::unique_ptr<QtTextMeasurer> m_measurer;
    std::unique_ptr<PagePainter> m_painter;
    LaidOutReport m_layout;
};

} // namespace verolux::reports
