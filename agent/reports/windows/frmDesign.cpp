#include "agent/reports/windows/frmDesign.h"

namespace verolux {
namespace {
QRect Twips(int l, int t, int w, int h) {
    return {l / 15, t / 15, w / 15, h / 15};
}
} // namespace

frmDesign::frmDesign() {
    setWindowTitle(QStringLiteral("报表设计器"));
    resize(14145 / 15, 5565 / 15);
    Command1 = new QPushButton(QStringLiteral("退 出"), this);
    Command1->setGeometry(Twips(120, 120, 1215, 550));
    Label1 = new QLabel(QStringLiteral("报表修改保存，客户重打生效。"), this);
    Label1->setGeometry(Twips(1440, 150, 3655, 375));
    Label1->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    labfile = new QLabel(QStringLiteral("文件位置："), this);
    labfile->setGeometry(Twips(5200, 150, 975, 375));
    txtfile = new QLineEdit(this);
    txtfile->setReadOnly(true);
    txtfile->setGeometry(Twips(6200, 120, 7800, 375));
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
}

void frmDesign::Show() {
    if (!m_loaded) {
        txtfile->setText(QString::fromStdString(reportFileName));
        m_loaded = true;
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    show();
    raise();
}

} // namespace verolux
