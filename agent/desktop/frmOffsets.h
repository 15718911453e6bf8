#pragma once

#include "agent/printing/PrinterOffset.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace verolux {

// 打印机校准: the offset of each printer (x right, y down, in mm to a tenth), a test page drawn with
// it, and 保存, which keeps it for every report printed there.
class frmOffsets : public QWidget {
    Q_OBJECT
  public:
    struct Source {
        std::vector<std::string> printers;
        std::function<PrinterOffset(const std::string& printer)> read;
        std::function<void(const std::string& printer, const PrinterOffset&)> save;
        // Prints the test page; "" or why it did not print.
        std::function<std::string(const std::string& printer, const PrinterOffset&)> printTestPage;
    };
    explicit frmOffsets(Source source, QWidget* parent = nullptr);

    QComboBox* cboPrinter = nullptr;
    QDoubleSpinBox* txtX = nullptr;
    QDoubleSpinBox* txtY = nullptr;
    QPushButton* cmdTestPage = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lbStatus = nullptr;

  private:
    PrinterOffset offset() const;
    void showPrinter();

    Source m_source;
};

} // namespace verolux
