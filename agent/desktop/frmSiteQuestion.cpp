#include "agent/desktop/frmSiteQuestion.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace verolux {

frmSiteQuestion::frmSiteQuestion(const QString& origin, QWidget* parent) : QDialog(parent), m_origin(origin) {
    setWindowTitle(QStringLiteral("网站授权"));
    // Over whatever the user does, but without the keyboard: what they type goes on going where it
    // went. Closing it is a no; there is nothing to minimize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);

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

    // No key ticks it: remembering takes a click.
    chkRemember = new QCheckBox(QStringLiteral("记住我的选择"), this);
    chkRemember->setFocusPolicy(Qt::NoFocus);
    cmdAllow = new QPushButton(QStringLiteral("允许(&A)"), this);
    cmdRefuse = new QPushButton(QStringLiteral("拒绝(&D)"), this);
    for (QPushButton* b : {cmdAllow, cmdRefuse}) {
        b->setFixedSize(kButtonSize);
        b->setAutoDefault(false); // Enter presses nothing
        b->setDefault(false);
    }
    connect(cmdAllow, &QPushButton::clicked, this, [this] {
        if (m_armed) emit answered(true, remember());
    });
    connect(cmdRefuse, &QPushButton::clicked, this, [this] {
        if (m_armed) emit answered(false, remember());
    });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kSpacing);
    buttons->addWidget(chkRemember);
    buttons->addStretch();
    buttons->addWidget(cmdAllow);
    buttons->addWidget(cmdRefuse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(head);
    layout->addWidget(site);
    layout->addWidget(tail);
    layout->addSpacing(12);
    layout->addStretch(); // any height to spare goes above the buttons, which stay at the bottom
    layout->addLayout(buttons);
    setTabOrder(cmdRefuse, cmdAllow);
    connect(this, &QDialog::rejected, this, &frmSiteQuestion::dismissed); // close box, Escape
    setArmed(false);
    // Fixed in both directions: the window manager offers no resizing for a yes-or-no question.
    setFixedSize(kWidth, std::max(sizeHint().height(), layout->totalHeightForWidth(kWidth)));
}

bool frmSiteQuestion::remember() const {
    return chkRemember->isChecked();
}

void frmSiteQuestion::setArmed(bool armed) {
    m_armed = armed;
    for (QWidget* w : {static_cast<QWidget*>(chkRemember), static_cast<QWidget*>(cmdAllow),
                       static_cast<QWidget*>(cmdRefuse)})
        w->setEnabled(armed);
    if (armed) cmdRefuse->setFocus(); // a key pressed by chance lets nothing in
}

void frmSiteQuestion::keyPressEvent(QKeyEvent* event) {
    if (!m_armed) {
        event->accept(); // swallowed, Escape included
        emit typedUnarmed();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmSiteQuestion::mousePressEvent(QMouseEvent* event) {
    // A click on the armed question beside its buttons: the user turns to it, and may now answer
    // with the keys too (after another second). A click before that may have been meant for the
    // window it appeared over.
    if (m_armed && windowHandle() && windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus)) {
        windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, false);
        activateWindow();
    }
    QDialog::mousePressEvent(event);
}

void frmSiteQuestion::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) emit activated();
    QDialog::changeEvent(event);
}

} // namespace verolux
