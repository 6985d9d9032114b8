#include "app/StatusLamp.h"

#include "app/ControlAccess.h"
#include "app/Controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QToolTip>

StatusLamp::StatusLamp(ShapeWidget* lamp, QLabel* caption, StatusDisplay& status, QObject* parent)
    : QObject(parent), m_lamp(lamp), m_caption(caption), m_status(status), m_blink(new QTimer(this))
{
    // A coarse timer may fire up to 5 % early; the blink keeps to the millisecond, as the
    // transfer's time-out does.
    m_blink->setObjectName(QStringLiteral("Timer2"));
    m_blink->setTimerType(Qt::PreciseTimer);
    m_blink->setInterval(BlinkIntervalMs);
    connect(m_blink, &QTimer::timeout, this, &StatusLamp::blinkTicked);
    m_caption->setFocusPolicy(Qt::TabFocus);
    m_caption->installEventFilter(this);
}

QString StatusLamp::shownReason() const
{
    return m_status.lamp == LampColour::Failure ? m_failureReason : QString();
}

void StatusLamp::show()
{
    m_lamp->setFillColor(QColor::fromRgb(QRgb(m_status.lamp)));
    m_caption->setText(m_status.caption);
    nameStatus(m_caption, m_status.caption);
    m_caption->setToolTip(shownReason());
    m_caption->setAccessibleDescription(shownReason());
    if (m_caption->hasFocus())
        showReasonAtCaption();
}

void StatusLamp::startBlinking()
{
    m_blink->start();
}

void StatusLamp::stopBlinking()
{
    m_blink->stop();
}

// Toggles between the two running colours and leaves any other alone: a mode
// option clicked during a transfer turns the lamp white, and it stays white.
void StatusLamp::blinkTicked()
{
    quint32& lamp = m_status.lamp;
    if (lamp == LampColour::Busy)
        lamp = LampColour::BusyBlink;
    else if (lamp == LampColour::BusyBlink)
        lamp = LampColour::Busy;
    show();
}

void StatusLamp::showReasonAtCaption()
{
    if (shownReason().isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(m_caption->mapToGlobal(m_caption->rect().bottomLeft()), shownReason(), m_caption);
}

// The caption with the keyboard focus shows the reason, and Space or Return shows it again.
bool StatusLamp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_caption) {
        if (event->type() == QEvent::FocusIn) {
            showReasonAtCaption();
        } else if (event->type() == QEvent::FocusOut) {
            QToolTip::hideText();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
                showReasonAtCaption();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
