#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace verolux {

// "允许 <site> 使用本机打印服务？" with the site in large letters: 允许 / 拒绝, and 记住我的选择.
// Accepted means allowed; closing it or letting it time out is a refusal.
class frmSiteQuestion : public QDialog {
    Q_OBJECT
  public:
    explicit frmSiteQuestion(const QString& origin, QWidget* parent = nullptr);

    bool remember() const;

    QCheckBox* chkRemember = nullptr;
    QPushButton* cmdAllow = nullptr;
    QPushButton* cmdRefuse = nullptr;
};

} // namespace verolux
