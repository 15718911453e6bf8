#include "agent/desktop/frmHistory.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace verolux {
namespace {

QString Kind(const std::string& kind) {
    if (kind == "raw") return QStringLiteral("打印机指令");
    if (kind == "document") return QStringLiteral("文档");
    return QStringLiteral("报表");
}

} // namespace

frmHistory::frmHistory(Source source, QWidget* parent) : QWidget(parent), m_source(std::move(source)) {
    setWindowTitle(QStringLiteral("打印记录"));
    grdJobs = new QTableWidget(0, 6, this);
    grdJobs->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("页面"),
                                        QStringLiteral("类型"), QStringLiteral("内容"),
                                        QStringLiteral("打印机"), QStringLiteral("状态")});
    grdJobs->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdJobs->setSelectionMode(QAbstractItemView::SingleSelection);
    grdJobs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdJobs->verticalHeader()->hide();
    grdJobs->horizontalHeader()->setStretchLastSection(true);
    cmdReprint = new QPushButton(QStringLiteral("重新打印"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdJobs, 1);
    layout->addWidget(cmdReprint, 0, Qt::AlignRight);
    connect(grdJobs, &QTableWidget::itemSelectionChanged, this, &frmHistory::updateButton);
    connect(cmdReprint, &QPushButton::clicked, this, [this] {
        if (const std::uint64_t id = chosen()) m_source.reprint(id);
    });
    resize(820, 420);
    Refresh();
}

void frmHistory::Refresh() {
    const std::uint64_t was = chosen();
    const std::deque<HistoryEntry>& entries = m_source.history().entries();
    grdJobs->setRowCount(int(entries.size()));
    int row = 0;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it, ++row) {
        const QStringList cells{
            QString::fromStdString(it->time),
            it->origin.empty() ? QStringLiteral("本机") : QString::fromStdString(it->origin),
            Kind(it->kind),
            QString::fromStdString(it->what),
            it->printer.empty() ? QStringLiteral("默认打印机") : QString::fromStdString(it->printer),
            QString::fromStdString(it->state)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(it->id));
            grdJobs->setItem(row, column, item);
        }
        if (it->id == was) grdJobs->selectRow(row);
    }
    updateButton();
}

std::uint64_t frmHistory::chosen() const {
    const QList<QTableWidgetItem*> items = grdJobs->selectedItems();
    return items.isEmpty() ? 0 : items.front()->data(Qt::UserRole).toULongLong();
}

void frmHistory::updateButton() {
    const std::uint64_t id = chosen();
    cmdReprint->setEnabled(id != 0 && m_source.canReprint(id));
}

} // namespace verolux
