#include "agent/reports/engine/Report.h"

#include "agent/reports/engine/PagePainter.h"
#include "agent/reports/engine/PainterCanvas.h"
#include "agent/reports/engine/PdfExport.h"
#include "agent/reports/engine/Pictures.h"
#include "agent/reports/engine/Printing.h"
#include "agent/reports/engine/QtTextMeasurer.h"
#include "agent/reports/engine/StyleFonts.h"
#include "agent/reports/layout/Paginator.h"
#include "agent/reports/layout/RuleStyles.h"
#include "agent/reports/model/TemplateFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace verolux::reports {

namespace {

std::vector<std::string> names(const std::vector<Declared>& list) {
    std::vector<std::string> out;
    for (const auto& d : list)
        out.push_back(d.name);
    return out;
}

format::DateTime now() {
    QDateTime t = QDateTime::currentDateTime();
    format::DateTime d;
    d.year = t.date().year();
    d.month = t.date().month();
    d.day = t.date().day();
    d.hour = t.time().hour();
    d.minute = t.time().minute();
    d.second = t.time().second();
    return d;
}

} // namespace

Report::Report(QObject* parent) : QObject(parent) {
    adoptTemplate(std::make_unique<Template>());
}

Report::~Report() = default;

void Report::adoptTemplate(std::unique_ptr<Template> tmpl) {
    // Pages point into the old template: drop them before it goes.
    m_layout = LaidOutReport{};
    m_painter.reset();
    m_measurer.reset();
    m_fonts.reset();
    m_printCopy.reset();
    m_template = std::move(tmpl);
    m_print = m_template.get();
    if (HasStyledRules(*m_template)) {
        m_printCopy = std::make_unique<Template>(*m_template);
        AddRuleStyles(*m_printCopy);
        m_print = m_printCopy.get();
    }
    m_pictureError = CheckTemplatePictures(*m_template);
    m_parameters.reset(names(m_template->parameters), &m_generation);
    for (size_t i = 0; i < m_template->parameters.size(); ++i) {
        const std::string& def = m_template->parameters[i].defaultValue;
        if (!def.empty()) m_parameters.item(int(i) + 1).setValue(ScalarValue::fromText(def));
    }
    m_fields.reset(names(m_template->fields), &m_generation);
    m_data.rows.clear();
    m_inRecord = false;
    invalidate();
}

bool Report::LoadTemplate(const QString& path) {
    m_lastError.clear();
    m_loadWarnings.clear();
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = name + QStringLiteral(": ") + file.errorString();
        adoptTemplate(std::make_unique<Template>());
        return false;
    }
    const QByteArray bytes = file.readAll();
    TemplateLoadResult result = ParseTemplate(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (!result) {
        m_lastError = name + QStringLiteral(": ") + QString::fromStdString(result.error);
        adoptTemplate(std::make_unique<Template>());
        return false;
    }
    adoptTemplate(std::make_unique<Template>(std::move(*result.tmpl)));
    if (!m_pictureError.empty()) {
        m_lastError = name + QStringLiteral(": ") + QString::fromStdString(m_pictureError);
        adoptTemplate(std::make_unique<Template>());
        return false;
    }
    for (const std::string& w : result.warnings)
        m_loadWarnings << name + QStringLiteral(": ") + QString::fromStdString(w);
    return true;
}

void Report::setTemplate(const Template& tmpl) {
    auto params = m_parameters.values();
    auto paramNames = names(m_template->parameters);
    auto oldFields = names(m_template->fields);
    auto rows = std::move(m_data.rows);
    adoptTemplate(std::make_unique<Template>(tmpl));
    for (size_t i = 0; i < paramNames.size(); ++i)
        if (auto* p = m_parameters.byName(paramNames[i])) p->setValue(params[i]);
    // Records follow the fields by name.
    std::vector<int> from;
    for (const auto& f : m_template->fields) {
        int idx = -1;
        for (size_t i = 0; i < oldFields.size(); ++i)
            if (oldFields[i] == f.name) idx = int(i);
        from.push_back(idx);
    }
    for (const auto& row : rows) {
        std::vector<ScalarValue> mapped;
        for (int idx : from)
            mapped.push_back(idx >= 0 && size_t(idx) < row.size() ? row[size_t(idx)] : ScalarValue{});
        m_data.rows.push_back(std::move(mapped));
    }
    invalidate();
}

void Report::PrepareRecords() {
    m_data.rows.clear();
    m_inRecord = false;
    invalidate();
}

void Report::AppendRecord() {
    m_fields.clearValues();
    m_inRecord = true;
}

void Report::PostRecord() {
    if (!m_inRecord) return;
    m_data.rows.push_back(m_fields.values());
    m_inRecord = false;
    invalidate();
}

void Report::ReportTitle(const QString& title) {
    m_title = title;
    invalidate();
}

void Report::PrinterName(const QString& name) {
    m_printerName = name;
}

QString Report::effectivePrinterName() const {
    if (!m_printerName.isEmpty()) return m_printerName;
    return QString::fromStdString(m_template->printer);
}

QString Report::documentTitle() const {
    return m_title.isEmpty() ? QString::fromStdString(m_template->title) : m_title;
}

bool Report::PrintDirect(int mode, int showDialog) {
    Q_UNUSED(showDialog);
    PrintOptions options = m_printOptions;
    options.collate = options.collate && (mode & 2);
    return print(effectivePrinterName(), options);
}

bool Report::print(const QString& printerName, const PrintOptions& options) {
    m_lastError.clear();
    m_lastJobId = 0;
    if (!layoutFits()) return false;
    m_lastJobId = PrintReportTo(*this, printerName, options, &m_lastError);
    return m_lastJobId != 0;
}

bool Report::ExportToFile(int type, const QString& path, int showOptions, int openAfter) {
    Q_UNUSED(showOptions);
    Q_UNUSED(openAfter);
    m_lastError.clear();
    ExportOptions options;
    options.type = type;
    options.path = path;
    options.title = documentTitle();
    emit ExportBegin(&options);
    if (options.type != kExportPdf) {
        m_lastError = QStringLiteral("export type %1 is not supported (5 = PDF)").arg(options.type);
        return false;
    }
    QString error;
    if (!layoutFits()) return false;
    if (!WritePdf(*this, options.path, &error)) {
        m_lastError = error;
        return false;
    }
    return true;
}

bool Report::SaveTemplate(const QString& path) {
    m_lastError.clear();
    const std::string json = WriteTemplate(*m_template);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(json.data(), qint64(json.size())) != qint64(json.size()) || !file.commit()) {
        m_lastError = QFileInfo(path).fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

void Report::ClearTemplate() {
    adoptTemplate(std::make_unique<Template>());
}

void Report::ensureLayout() {
    if (m_laidOutGeneration == m_generation) return;
    if (!m_fonts) {
        m_fonts = std::make_unique<StyleFonts>(*m_print);
        m_measurer = std::make_unique<QtTextMeasurer>(*m_print, *m_fonts);
        m_painter = std::make_unique<PagePainter>(*m_print, *m_measurer);
    }
    m_data.parameters = m_parameters.values();
    m_data.title = documentTitle().toStdString();
    m_data.now = now();
    m_layout = Paginate(*m_print, m_data, *m_measurer);
    m_laidOutGeneration = m_generation;
    for (const std::string& w : m_layout.warnings) {
        const QString line = QString::fromStdString(w);
        qWarning("%s", qUtf8Printable(line));
        emit LayoutWarning(line);
    }
}

bool Report::layoutFits() {
    if (!m_pictureError.empty()) { // a template set in code, not loaded: its pictures are checked here
        m_lastError = QString::fromStdString(m_pictureError);
        return false;
    }
    if (layout().error.empty()) return true;
    m_lastError = QString::fromStdString(layout().error);
    return false;
}

const LaidOutReport& Report::layout() {
    ensureLayout();
    return m_layout;
}

int Report::pageCount() {
    return static_cast<int>(layout().pages.size());
}

QSizeF Report::pageSizeMm() const {
    return QSizeF(m_template->page.pageWidth(), m_template->page.pageHeight());
}

bool Report::landscape() const {
    return m_template->page.landscape;
}

void Report::paintPage(int index, QPainter& painter) {
    ensureLayout();
    if (index < 0 || index >= static_cast<int>(m_layout.pages.size())) return;
    PainterCanvas canvas(painter, *m_fonts);
    m_painter->paint(m_layout.pages[size_t(index)], canvas);
}

void Report::paintPage(int index, PageCanvas& canvas) {
    ensureLayout();
    if (index < 0 || index >= static_cast<int>(m_layout.pages.size())) return;
    m_painter->paint(m_layout.pages[size_t(index)], canvas);
}

QStringList Report::warnings() {
    QStringList out;
    for (const std::string& w : layout().warnings)
        out << QString::fromStdString(w);
    return out;
}

const StyleFonts& Report::styleFonts() {
    ensureLayout();
    return *m_fonts;
}

} // namespace verolux::reports
