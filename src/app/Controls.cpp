#include "app/Controls.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>

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

void ChoiceBox::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

void showInComboBox(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(box->findText(text));
    box->setEditText(text);
}
