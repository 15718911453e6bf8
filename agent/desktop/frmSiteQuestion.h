#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace verolux {

// "允许 <site> 使用本机打印服务？" with the site in large letters: 允许 / 拒绝, and 记住我的选择.
// It never takes the keyboard from the window in use: it appears without the focus and cannot get
// it until the user clicks on it, once armed, elsewhere than its buttons. Until it is armed its buttons are
// greyed and keys typed at it are swallowed. Answered with a click: there is no default button, and
// 记住我的选择 takes no key at all.
class frmSiteQuestion : public QDialog {
    Q_OBJECT
  public:
    // Fixed geometry, so that the desktop tests know where the buttons are: a row of two buttons of
    // kButtonSize at the bottom right, kMargin from the edges, kSpacing apart; the tick box at the
    // bottom left.
    static constexpr int kWidth = 560, kMargin = 16, kSpacing = 8;
    static constexpr QSize kButtonSize{96, 32};

    explicit frmSiteQuestion(const QString& origin, QWidget* parent = nullptr);

    const QString& origin() const { return m_origin; }
    bool remember() const;
    // Whether the buttons take clicks (and the window keys).
    void setArmed(bool armed);
    bool armed() const { return m_armed; }

    QCheckBox* chkRemember = nullptr;
    QPushButton* cmdAllow = nullptr;
    QPushButton* cmdRefuse = nullptr;

  signals:
    void answered(bool allow, bool remember); // 允许 or 拒绝 clicked
    void dismissed();                         // closed by its close box (or Escape once armed)
    void activated();                         // got the keyboard focus
    void typedUnarmed();                      // a key reached it before it was armed

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QString m_origin;
    bool m_armed = false;
};

} // namespace verolux
