#include "agent/desktop/frmSiteQuestion.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace verolux {

frmSiteQuestion::frmSiteQuestion(const QString& origin, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("网站授权"));
    // A page waits for this answer: the question comes to the front, over whatever the user does.
    // Closing it is a no; there is nothing to minimize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);

    auto* head = new QLabel(QStringLiteral("允许"), this);
    // A long name wraps after its dots rather than widening the window: its end matters most
    // (erp.example.com.other.example is not erp.example.com).
    QString wrappable = origin;
    wrappable.replace(QLatin1Char('.'), QStringLiteral(".\u200B"));
    auto* site = new QLabel(wrappable, this);
    site->setWordWrap(true);
    QFont big = site->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    site->setFont(big);
    site->setTextFormat(Qt::PlainText); // the origin is the page's own text
    auto* tail = new QLabel(QStringLiteral("使用本机打印服务？"), this);

    chkRemember = new QCheckBox(QStringLiteral("记住我的选择(&R)"), this);
    cmdAllow = new QPushButton(QStringLiteral("允许(&A)"), this);
    cmdRefuse = new QPushButton(QStringLiteral("拒绝(&D)"), this);
    cmdRefuse->setDefault(true); // Enter, pressed by chance, lets nothing in
    connect(cmdAllow, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdRefuse, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkRemember);
    buttons->addStretch();
    buttons->addWidget(cmdAllow);
    buttons->addWidget(cmdRefuse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(head);
    layout->addWidget(site);
    layout->addWidget(tail);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    // Fixed in both directions: the window manager offers no resizing for a yes-or-no question.
    setFixedSize(560, std::max(sizeHint().height(), layout->totalHeightForWidth(560)));
}

bool frmSiteQuestion::remember() const {
    return chkRemember->isChecked();
}

} // namespace verolux
