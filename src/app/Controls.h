#pragma once

#include "app/Units.h"

#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <optional>

class MessageBoxes;

// A filled rectangle or rounded rectangle drawn on its container, like the
// designer's shapes: the tabs, the bands, the status lamp and the end marker.
// It keeps its place in points, so that run-time moves use the window's unit.
class ShapeWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double Left READ left)
    Q_PROPERTY(double Top READ top)
    Q_PROPERTY(double Width READ widthPt)
    Q_PROPERTY(double Height READ heightPt)

public:
    ShapeWidget(bool rounded, QWidget* parent);

    void setFillColor(std::optional<QColor> colour);
    std::optional<QColor> fillColor() const { return m_fill; }
    void setBorderColor(std::optional<QColor> colour);
    std::optional<QColor> borderColor() const { return m_border; }

    void setRectPt(const RectPt& rect);
    double left() const { return m_rect.left; }
    double top() const { return m_rect.top; }
    double widthPt() const { return m_rect.width; }
    double heightPt() const { return m_rect.height; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_rounded;
    std::optional<QColor> m_fill;
    std::optional<QColor> m_border;
    RectPt m_rect{};
};

// A label or picture box of the window that reports a click of the left
// mouse button (the group tabs act on it). One that takes the keyboard focus
// (the group tab shown) is pressed with Space or Return as with a click, and
// shows the style's focus frame while the keyboard has brought the focus to
// it. Its text stays plain
// text drawn as on any other label: QLabel would give a label that takes the
// focus a whole text document, for selecting its text with the keyboard,
// which these labels do not offer.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

// A combo box of the window: an item chosen from its list, or text typed into
// it that names an item, is a choice. It says when its list is about to open,
// so the list can be brought up to date first: the port picker lists the
// serial devices present.
class ChoiceBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    void showPopup() override;

    // Hands each choice to `choose`: an item chosen from the list, and text
    // typed into the box once the user is done with it (Return, or the focus
    // leaving) when the text names an item, in any case; anything else is
    // put back, with a message. Afterwards the box shows the value in use
    // (`inUse`), so a choice refused during a transfer or text that names no
    // item cannot pass for the value the chart and the controller get.
    void takeChoices(MessageBoxes& boxes, std::function<void(const QString&)> choose,
                     std::function<QString()> inUse);

signals:
    void aboutToShowPopup();

protected:
    void changeEvent(QEvent* event) override;
};

// The text field of a choice box. The box keeps the design's narrow width,
// so a text wider than the field (a device path) would show only its end, as
// a line edit keeps its cursor in view: the field shows the text's start
// instead, uses the few pixels a line edit keeps free beside its text and a
// slightly tighter setting when that makes the text fit, and while the user
// is not typing in it shows a text that still does not fit elided in the
// middle. The box's tool tip
// names the whole value.
class ChoiceField : public QLineEdit
{
    Q_OBJECT

public:
    explicit ChoiceField(QWidget* parent = nullptr);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the text goes, within the field's text margins.
    QRect textArea() const;
    void fitText();

    bool m_fitting = false;
};

// Shows a value in an editable combo box, with its list item current when the
// list holds it, so that the open list marks the value shown and the wheel and
// the arrow keys step to its neighbours.
void showInComboBox(QComboBox* box, const QString& text);
