#pragma once

#include "agent/printing/JobHistory.h"

#include <QWidget>

#include <functional>

class QPushButton;
class QTableWidget;

namespace verolux {

// 打印记录: the last jobs, newest first (time, page, printer, what, state); 重新打印 prints the
// chosen one again where the agent still holds what it printed.
class frmHistory : public QWidget {
    Q_OBJECT
  public:
    struct Source {
        std::function<const JobHistory&()> history;
        std::function<bool(std::uint64_t id)> canReprint;
        std::function<void(std::uint64_t id)> reprint;
    };
    explicit frmHistory(Source source, QWidget* parent = nullptr);

    // Shows the history as it is now, the chosen job still chosen.
    void Refresh();

    QTableWidget* grdJobs = nullptr;
    QPushButton* cmdReprint = nullptr;

  private:
    std::uint64_t chosen() const; // 0 when none
    void updateButton();

    Source m_source;
};

} // namespace verolux
