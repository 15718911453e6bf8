#include "agent/reports/designer/PropertyWidgets.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDoubleValidator>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace verolux::reports {

NumberEdit::NumberEdit(double min, double max, int decimals, QWidget* parent)
    : QLineEdit(parent), m_min(min), m_max(max), m_decimals(decimals) {
    auto* v = new QDoubleValidator(min, max, decimals, this);
    v->setNotation(QDoubleValidator::StandardNotation);
    setValidator(v);
    connect(this, &QLineEdit::editingFinished, this, &NumberEdit::commit);
}

void NumberEdit::setValue(std::optional<double> value) {
    m_shown = value ? QString::number(*value, 'f', m_decimals) : QString();
    // 12.50 reads as 12.5.
    if (m_shown.contains(QLatin1Char('.'))) {
        while (m_shown.endsWith(QLatin1Char('0')))
            m_shown.chop(1);
        if (m_shown.endsWith(QLatin1Char('.'))) m_shown.chop(1);
    }
    setPlaceholderText(value ? QString() : QStringLiteral("（多个值）"));
    if (text() != m_shown) setText(m_shown);
}

void NumberEdit::commit() {
    if (text() == m_shown || text().isEmpty()) return;
    bool ok = false;
    const double v = locale().toDouble(text(), &ok);
    const double w = ok ? v : text().toDouble(&ok);
    if (!ok) return;
    m_shown = text();
    emit committed(std::clamp(w, m_min, m_max));
}

ColourButton::ColourButton(QWidget* parent) : QToolButton(parent) {
    setFixedSize(46, 22);
    connect(this, &QToolButton::clicked, this, &ColourButton::choose);
}

void ColourButton::setColour(std::optional<uint32_t> argb) {
    m_colour = argb;
    QPixmap pm(36, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (!argb) {
        p.setPen(Qt::gray);
        p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("…"));
    } else if ((*argb >> 24) == 0) {
        // No colour: a white swatch crossed out.
        p.fillRect(pm.rect(), Qt::white);
        p.setPen(QColor(0xdc, 0x26, 0x26));
        p.drawLine(0, 13, 35, 0);
    } else {
        p.fillRect(pm.rect(), QColor::fromRgba(*argb));
    }
    p.setPen(Qt::gray);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    p.end();
    setIcon(QIcon(pm));
    setIconSize(pm.size());
}

void ColourButton::choose() {
    const QColor start = m_colour && (*m_colour >> 24) ? QColor::fromRgba(*m_colour) : QColor(Qt::black);
    const QColor c =
        QColorDialog::getColor(start, this, QStringLiteral("选择颜色"), QColorDialog::ShowAlphaChannel);
    if (!c.isValid()) return;
    emit committed(c.rgba());
}

void ColourButton::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* none = menu.addAction(QStringLiteral("无颜色"));
    if (menu.exec(event->globalPos()) == none) emit committed(0);
}

TextBlockEdit::TextBlockEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setFixedHeight(fontMetrics().lineSpacing() * 3 + 10);
}

void TextBlockEdit::setText(const std::optional<QString>& text) {
    m_mixed = !text;
    m_shown = text.value_or(QString());
    setPlaceholderText(text ? QString() : QStringLiteral("（多个值）"));
    if (toPlainText() != m_shown) setPlainText(m_shown);
}

void TextBlockEdit::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (toPlainText() != m_shown && !(m_mixed && toPlainText().isEmpty())) {
        m_shown = toPlainText();
        emit committed(m_shown);
    }
}

void TextBlockEdit::keyPressEvent(QKeyEvent* event) {
    // Ctrl+Enter ends the edit here too.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & Qt::ControlModifier)) {
        if (toPlainText() != m_shown) {
            m_shown = toPlainText();
            emit committed(m_shown);
        }
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace verolux::reports
