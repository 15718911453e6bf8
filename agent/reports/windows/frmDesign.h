#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <string>

namespace verolux {

// The report designer window: one instance for the agent, reused by every design request. For now
// it shows which template a design request opened.
class frmDesign : public QWidget {
    Q_OBJECT
  public:
    frmDesign();

    // Public members set by the opener before the window is shown.
    std::string reportFileName;
    std::string reportId;
    std::string reportAdd;
    std::string reportDownurl;

    // Shows the window modeless; loading runs the first time only.
    void Show();

    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* labfile = nullptr;
    QLineEdit* txtfile = nullptr;

  private:
    bool m_loaded = false;
};

} // namespace verolux
