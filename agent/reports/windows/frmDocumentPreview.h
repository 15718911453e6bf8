#pragma once

#include "agent/reports/windows/DocumentPages.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class QScrollArea;

namespace verolux {

// Shows a document's pages (a PDF, or a picture as one page) for the user to read and print. The
// window prints nothing itself: 打印 hands the chosen printer to its opener.
class frmDocumentPreview : public QWidget {
    Q_OBJECT
  public:
    using Print = std::function<void(const std::string& printer)>;

    // printers: the queues offered, `printer` chosen when among them (else the first).
    frmDocumentPreview(std::unique_ptr<DocumentPages> pages, const std::string& title,
                       const std::vector<std::string>& printers, const std::string& printer, Print print);

    QComboBox* cboPrinter = nullptr;
    QPushButton* cmdPrint = nullptr;
    QScrollArea* pages = nullptr;

  private:
    std::unique_ptr<DocumentPages> m_pages;
    Print m_print;
};

} // namespace verolux
