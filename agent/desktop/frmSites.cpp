#include "agent/desktop/frmSites.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace verolux {

frmSites::frmSites(Source source, QWidget* parent) : QDialog(parent), m_source(std::move(source)) {
    setWindowTitle(QStringLiteral("已授权的网站"));
    auto* note = new QLabel(
        QStringLiteral(
            "这些网站的网页是否可以使用本机打印服务。删除后，该网站已打开的连接将断开，下次将重新询问；"
            "管理员设定的网站不能删除。"),
        this);
    note->setWordWrap(true);
    lstSites = new QTreeWidget(this);
    lstSites->setColumnCount(3);
    lstSites->setHeaderLabels({QStringLiteral("网站"), QStringLiteral("选择"), QStringLiteral("保存")});
    lstSites->setRootIsDecorated(false);
    lstSites->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstSites->header()->setStretchLastSection(false);
    lstSites->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    cmdRemove = new QPushButton(QStringLiteral("删除"), this);
    cmdClose = new QPushButton(QStringLiteral("关闭"), this);
    connect(cmdRemove, &QPushButton::clicked, this, &frmSites::cmdRemove_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(lstSites, &QTreeWidget::itemSelectionChanged, this,
            [this] { cmdRemove->setEnabled(!lstSites->selectedItems().isEmpty()); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(lstSites);
    layout->addLayout(buttons);
    resize(520, 320);
    Refresh();
}

void frmSites::Refresh() {
    lstSites->clear();
    for (const auto& [origin, site] : m_source.sites()) {
        auto* item = new QTreeWidgetItem(lstSites);
        item->setText(0, QString::fromStdString(origin));
        item->setText(1, site.allowed ? QStringLiteral("允许") : QStringLiteral("拒绝"));
        item->setText(2, site.locked       ? QStringLiteral("管理员设定")
                         : site.remembered ? QStringLiteral("已记住")
                                           : QStringLiteral("仅本次运行"));
        if (site.locked) {
            item->setFlags(Qt::ItemIsEnabled); // not selectable: 删除 never reaches it
            item->setToolTip(0, QStringLiteral("由管理员设定，不能删除"));
            item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
    cmdRemove->setEnabled(false);
}

void frmSites::cmdRemove_Click() {
    for (QTreeWidgetItem* item : lstSites->selectedItems())
        if (item->flags().testFlag(Qt::ItemIsSelectable)) // the administrator's stay
            m_source.forget(item->text(0).toStdString());
    Refresh();
}

} // namespace verolux
