#include "agent/desktop/frmOffsets.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace verolux {

frmOffsets::frmOffsets(Source source, QWidget* parent) : QWidget(parent), m_source(std::move(source)) {
    setWindowTitle(QStringLiteral("打印机校准"));
    cboPrinter = new QComboBox(this);
    for (const std::string& p : m_source.printers)
        cboPrinter->addItem(QString::fromStdString(p));
    const auto spin = [this] {
        auto* box = new QDoubleSpinBox(this);
        box->setRange(-kMaxOffsetTenths / 10.0, kMaxOffsetTenths / 10.0);
        box->setDecimals(1);
        box->setSingleStep(0.1);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    txtX = spin();
    txtY = spin();
    cmdTestPage = new QPushButton(QStringLiteral("打印测试页"), this);
    cmdSave = new QPushButton(QStringLiteral("保存"), this);
    lbStatus = new QLabel(this);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("打印机:"), cboPrinter);
    form->addRow(QStringLiteral("向右 (X):"), txtX);
    form->addRow(QStringLiteral("向下 (Y):"), txtY);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTestPage);
    buttons->addWidget(cmdSave);
    form->addRow(buttons);
    form->addRow(lbStatus);
    const bool any = cboPrinter->count() > 0;
    cmdTestPage->setEnabled(any);
    cmdSave->setEnabled(any);
    if (!any) lbStatus->setText(QStringLiteral("没有打印机"));
    connect(cboPrinter, &QComboBox::currentIndexChanged, this, &frmOffsets::showPrinter);
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        m_source.save(cboPrinter->currentText().toStdString(), offset());
        lbStatus->setText(QStringLiteral("已保存"));
    });
    connect(cmdTestPage, &QPushButton::clicked, this, [this] {
        const std::string error = m_source.printTestPage(cboPrinter->currentText().toStdString(), offset());
        lbStatus->setText(error.empty() ? QStringLiteral("测试页已发送") : QString::fromStdString(error));
    });
    showPrinter();
}

PrinterOffset frmOffsets::offset() const {
    return {int(std::lround(txtX->value() * 10)), int(std::lround(txtY->value() * 10))};
}

void frmOffsets::showPrinter() {
    if (cboPrinter->count() == 0) return;
    const PrinterOffset o = m_source.read(cboPrinter->currentText().toStdString());
    txtX->setValue(o.xMm());
    txtY->setValue(o.yMm());
}

} // namespace verolux
