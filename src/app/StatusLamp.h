#pragma once

#include "state/StatusDisplay.h"

#include <QObject>
#include <QString>

class QLabel;
class QTimer;
class ShapeWidget;

// The status lamp `Shape11` and its caption `disp1`: they show the window's
// status display, the lamp blinks (`Timer2`) while a transfer runs, and the
// reason of a failure is the caption's tool tip. The caption takes the
// keyboard focus, after 書込, so that a keyboard user who sees can read the
// reason too: it shows as the tool tip while the caption has the focus, and
// screen readers get it as the caption's description.
class StatusLamp : public QObject
{
    Q_OBJECT

public:
    static constexpr int BlinkIntervalMs = 250;

    StatusLamp(ShapeWidget* lamp, QLabel* caption, StatusDisplay& status, QObject* parent);

    // Shows the status display as it stands.
    void show();
    // A transfer starts or ends: the lamp blinks while it runs.
    void startBlinking();
    void stopBlinking();
    // Why the last transfer failed; shown with a failure.
    void setFailureReason(const QString& reason) { m_failureReason = reason; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void blinkTicked();
    QString shownReason() const;
    void showReasonAtCaption();

    ShapeWidget* m_lamp;
    QLabel* m_caption;
    StatusDisplay& m_status;
    QTimer* m_blink;
    QString m_failureReason;
};
