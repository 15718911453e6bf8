#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include <optional>

namespace verolux::reports {

// Editors of the inspector. Each shows "no value" when the selected items disagree, and reports a
// value only when the user has given one.

// A number (mm, points, a count): blank when the values differ; `committed` on Enter or leaving.
class NumberEdit : public QLineEdit {
    Q_OBJECT
  public:
    NumberEdit(double min, double max, int decimals, QWidget* parent = nullptr);
    void setValue(std::optional<double> value);

  signals:
    void committed(double value);

  private:
    void commit();
    double m_min, m_max;
    int m_decimals;
    QString m_shown;
};

// A colour swatch: click to choose (transparency included), right-click for "no colour".
class ColourButton : public QToolButton {
    Q_OBJECT
  public:
    explicit ColourButton(QWidget* parent = nullptr);
    void setColour(std::optional<uint32_t> argb); // nullopt: the items differ

  signals:
    void committed(uint32_t argb); // 0: no colour

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void choose();
    std::optional<uint32_t> m_colour;
};

// Text of several lines (an item's text): `committed` when the focus leaves and the text changed.
class TextBlockEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TextBlockEdit(QWidget* parent = nullptr);
    void setText(const std::optional<QString>& text);

  signals:
    void committed(const QString& text);

  protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString m_shown;
    bool m_mixed = false;
};

} // namespace verolux::reports
