#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <string>

class QPushButton;
class QTreeWidget;

namespace verolux {

// 已授权的网站: the sites allowed and refused, remembered in the settings or answered for this run
// only, with 删除 to forget one: its open connections close and its pages are asked about again.
class frmSites : public QDialog {
    Q_OBJECT
  public:
    struct Site {
        bool allowed = false;
        bool remembered = false; // in the settings; otherwise answered for this run only
        bool locked = false;     // set by the administrator's policy file: not removable here
    };
    struct Source {
        std::function<std::map<std::string, Site>()> sites; // by origin
        std::function<void(const std::string&)> forget;
    };

    explicit frmSites(Source source, QWidget* parent = nullptr);

    // Reads the list again.
    void Refresh();

    QTreeWidget* lstSites = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdClose = nullptr;

  private:
    void cmdRemove_Click();

    Source m_source;
};

} // namespace verolux
