#include "agent/reports/designer/DesignRenderer.h"

#include "agent/reports/engine/PagePainter.h"
#include "agent/reports/engine/PainterCanvas.h"
#include "agent/reports/engine/QtTextMeasurer.h"
#include "agent/reports/engine/StyleFonts.h"
#include "agent/reports/layout/RuleStyles.h"
#include "agent/reports/layout/TextWrap.h"

#include <QPaintDevice>

namespace verolux::reports {

namespace {

// A barcode whose data is a reference has nothing to encode yet: show a valid sample of its kind.
std::string sampleBarcodeData(const Item& item) {
    if (item.text.find('{') == std::string::npos) return item.text;
    if (item.symbology == "ean13") return "6901234567892";
    return item.text;
}

} // namespace

DesignRenderer::DesignRenderer() = default;
DesignRenderer::~DesignRenderer() = default;

void DesignRenderer::sync(const Template& tmpl, uint64_t generation) {
    if (m_t == &tmpl && m_generation == generation && m_painter) return;
    // The painter caches pictures and barcodes by item address: start afresh with every change.
    m_painter.reset();
    m_measurer.reset();
    m_ruleCopy.reset();
    m_print = &tmpl;
    if (HasStyledRules(tmpl)) {
        m_ruleCopy = std::make_unique<Template>(tmpl);
        AddRuleStyles(*m_ruleCopy);
        m_print = m_ruleCopy.get();
    }
    m_fonts = std::make_unique<StyleFonts>(*m_print);
    m_measurer = std::make_unique<QtTextMeasurer>(*m_print, *m_fonts);
    m_painter = std::make_unique<PagePainter>(*m_print, *m_measurer);
    m_t = &tmpl;
    m_generation = generation;
}

void DesignRenderer::setSampleRow(design::SampleRow row) {
    m_row = std::move(row);
}

std::vector<DesignRenderer::Placed> DesignRenderer::PlaceAll(const Template& tmpl,
                                                             const design::DesignLayout& layout) {
    std::vector<Placed> out;
    for (const design::PlacedBand& b : layout.bands) {
        for (const Item& it : design::FindBand(tmpl, b.ref)->items)
            out.push_back({&it, layout.left + it.x, b.top + it.y, it.w, it.h});
    }
    return out;
}

void DesignRenderer::paint(QPainter& painter, const std::vector<Placed>& items) {
    if (!m_painter || items.empty()) return;
    Page page;
    page.items.reserve(items.size());
    const int styles = static_cast<int>(m_t->styles.size());
    for (const Placed& p : items) {
        const Item& it = *p.item;
        PageItem pi;
        pi.kind = it.kind;
        pi.style = it.style >= 0 && it.style < styles ? it.style : 0;
        pi.x = float(p.x), pi.y = float(p.y), pi.w = float(p.w), pi.h = float(p.h);
        pi.source = &it;
        if (const int rule = it.rules.empty() ? -1 : design::RuleOnRow(it, *m_t, m_row); rule >= 0) {
            pi.style = RuleStyle(*m_print, pi.style, it.rules[size_t(rule)]);
            pi.hidden = !it.rules[size_t(rule)].visible;
        }
        if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode) {
            pi.textOffset = uint32_t(page.text.size());
            const TextStyle& st = m_print->styles[size_t(pi.style)];
            if (it.kind == ItemKind::Barcode)
                page.text += sampleBarcodeData(it);
            else if (st.wordWrap)
                WrapText(it.text, p.w - 2 * st.padding, pi.style, *m_measurer, page.text);
            else
                page.text += it.text;
            pi.textLength = uint32_t(page.text.size() - pi.textOffset);
        }
        page.items.push_back(pi);
    }
    // The engine draws in device pixels (logical dpi / 25.4 per mm); the caller's unit is the mm.
    const double deviceMm = painter.device() ? painter.device()->logicalDpiX() / 25.4 : 96 / 25.4;
    painter.save();
    painter.scale(1 / deviceMm, 1 / deviceMm);
    {
        PainterCanvas canvas(painter, *m_fonts);
        m_painter->paint(page, canvas);
    }
    painter.restore();
}

} // namespace verolux::reports
