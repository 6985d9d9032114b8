#include "app/Controls.h"

#include "app/MessageBoxes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionFocusRect>
#include <QStyleOptionFrame>
#include <QStylePainter>

ShapeWidget::ShapeWidget(bool rounded, QWidget* parent) : QWidget(parent), m_rounded(rounded)
{
    // Shapes have no click of their own: a click on a tab outside its label does nothing.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::setFillColor(std::optional<QColor> colour)
{
    if (m_fill == colour)
        return;
    m_fill = colour;
    update();
}

void ShapeWidget::setBorderColor(std::optional<QColor> colour)
{
    m_border = colour;
    update();
}

void ShapeWidget::setRectPt(const RectPt& rect)
{
    m_rect = rect;
    setGeometry(pixelRect(rect));
}

void ShapeWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(m_border ? QPen(*m_border, 1) : Qt::NoPen);
    painter.setBrush(m_fill ? QBrush(*m_fill) : Qt::NoBrush);
    if (m_rounded) {
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal radius = std::min(width(), height()) / 5.0;
        painter.drawRoundedRect(area, radius, radius);
    } else if (m_border) {
        painter.drawRect(area);
    } else if (m_fill) {
        painter.fillRect(rect(), *m_fill);
    }
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::keyPressEvent(QKeyEvent* event)
{
    const QKeyCombination pressed(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
    if (pressed == QKeyCombination(Qt::Key_Space) || pressed == QKeyCombination(Qt::Key_Return) ||
        pressed == QKeyCombination(Qt::Key_Enter))
        emit clicked();
    else
        QLabel::keyPressEvent(event);
}

bool ClickLabel::event(QEvent* event)
{
    // At its polish QLabel makes the text document for a label that takes the focus, and does
    // nothing else.
    if (event->type() == QEvent::Polish)
        return QFrame::event(event);
    return QLabel::event(event);
}

void ClickLabel::focusInEvent(QFocusEvent* event)
{
    // QLabel would make the text document here too; the focus frame is all this label shows.
    QFrame::focusInEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // The style draws it only when the focus came by the keyboard, as on a button.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void ChoiceBox::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

void ChoiceBox::changeEvent(QEvent* event)
{
    // QComboBox makes its list, a popup window with a list view and scroll
    // bars, at a change of font only to hand the font on. Every box of the
    // window is given its font as it is made, long before its list is opened,
    // and a list made later takes the box's font itself; so until the list
    // exists the change is the plain widget's, and the list's code and memory
    // wait for the first look at it.
    if (event->type() == QEvent::FontChange && !findChild<QAbstractItemView*>()) {
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void ChoiceBox::takeChoices(MessageBoxes& boxes, std::function<void(const QString&)> choose,
                            std::function<QString()> inUse)
{
    const auto showInUse = [this, inUse] { showInComboBox(this, inUse()); };
    connect(this, &QComboBox::activated, this, [this, choose, showInUse](int index) {
        choose(itemText(index));
        showInUse();
    });
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this, &boxes, choose, inUse, showInUse] {
        // The box's own list opening takes the focus for a moment; what is typed counts once the
        // user leaves the box itself.
        if (QApplication::activePopupWidget())
            return;
        const QString typed = currentText().trimmed();
        if (typed == inUse())
            return showInUse();
        if (const int item = findText(typed, Qt::MatchFixedString); item >= 0)
            choose(itemText(item));
        else if (!typed.isEmpty())
            boxes.show(window(),
                       {accessibleName(),
                        QStringLiteral("「%1」は一覧にありません。一覧から選んでください。").arg(typed),
                        QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
        showInUse();
    });
}

namespace {
// What a line edit keeps free on either side of its text, and above and below it.
constexpr int FieldHorizontalMargin = 2;
constexpr int FieldVerticalMargin = 1;
// How tight a text may be set to fit, in per cent of the font's own spacing.
constexpr int TightestSpacing = 92;
} // namespace

ChoiceField::ChoiceField(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &ChoiceField::fitText);
}

QRect ChoiceField::textArea() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    return style()
        ->subElementRect(QStyle::SE_LineEditContents, &panel, this)
        .marginsRemoved(textMargins())
        .adjusted(FieldHorizontalMargin, FieldVerticalMargin, -FieldHorizontalMargin, -FieldVerticalMargin);
}

// A text that fits as a line edit lays it out is shown exactly so. A wider one takes the free
// pixels beside it, and one that is still a few pixels too wide ("COM10" in the port box) is set
// a little tighter; anything wider is elided when painted.
void ChoiceField::fitText()
{
    if (m_fitting)
        return;
    const QScopedValueRollback<bool> fitting(m_fitting, true);
    // Measured as the font sets it, without any tightening of an earlier text.
    QFont natural = font();
    if (natural.letterSpacing() != 0)
        natural.setLetterSpacing(QFont::PercentageSpacing, 100);
    const int normalWidth = textArea().marginsAdded(textMargins()).width();
    const int margin =
        QFontMetrics(natural).horizontalAdvance(text()) > normalWidth ? -FieldHorizontalMargin : 0;
    // A pixel stays free for the cursor at the end of the text.
    const int widest = normalWidth - 2 * margin - 1;
    QFont fitted = natural;
    for (int spacing = 99;
         spacing >= TightestSpacing && QFontMetrics(fitted).horizontalAdvance(text()) > widest; --spacing)
        fitted.setLetterSpacing(QFont::PercentageSpacing, spacing);
    if (QFontMetrics(fitted).horizontalAdvance(text()) > widest)
        fitted = natural;
    if (fitted.letterSpacing() != font().letterSpacing())
        setFont(fitted);
    if (textMargins().left() != margin)
        setTextMargins(margin, 0, margin, 0);
}

void ChoiceField::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    fitText();
}

void ChoiceField::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitText();
}

void ChoiceField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    setCursorPosition(0);
}

void ChoiceField::paintEvent(QPaintEvent* event)
{
    const QRect area = textArea();
    if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= area.width())
        return QLineEdit::paintEvent(event);
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
}

void showInComboBox(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(box->findText(text));
    box->setEditText(text);
    // The start of a long value says which it is.
    box->lineEdit()->setCursorPosition(0);
}
