#pragma once

#include "chart/PatternTable.h"
#include "serial/SerialDevices.h"
#include "settings/SettingsLocation.h"
#include "transfer/TransferProtocol.h"

#include <QObject>
#include <QString>
#include <memory>

class QTimer;
class SerialLine;

// One transfer of a chart into the controller, as the window's 書込 and the
// command-line writer's `write` run it: the port of the controller's line, the
// time-out, the protocol, and carrying out what the protocol answers on the
// line. A front end starts it and shows what it reports.
//
// The time-out is a single-shot precise timer named `Timer1`, a child of this
// object: a coarse timer may fire up to 5 % early and end a transfer that
// would still have finished in time.
class ControllerTransfer : public QObject
{
    Q_OBJECT

public:
    static constexpr int TimeoutMs = 15000;

    // Transfers over `line`, which this object takes, names `mscPort` and keeps as its child.
    explicit ControllerTransfer(std::unique_ptr<SerialLine> line, QObject* parent = nullptr);
    ~ControllerTransfer() override;

    // Another line in place of the one given before; not while a transfer runs.
    void setLine(std::unique_ptr<SerialLine> line);

    // The port of the next transfers: a port name of the window, "COM1" to
    // "COM20", looked up in `settings` at each opening (see portDeviceName),
    // a device path or a network port's URL. Any other name is no port: a
    // transfer fails at the opening.
    void setPort(const QString& portName, const SettingsLocation& settings);
    QString portName() const { return m_portName; }

    // Where the reason for a port that cannot be opened learns which serial
    // devices are present; the system's list unless set.
    void setSerialDeviceList(SerialDeviceList list);

    // The time-out's length; TimeoutMs unless set (tests shorten it).
    void setTimeoutInterval(int milliseconds);

    bool isRunning() const { return m_protocol.running(); }
    // Records sent since the controller's last "s", 0 to 400. Like the
    // protocol's stage it carries over from one transfer to the next.
    int recordsSent() const { return m_protocol.state().RecordIndex; }
    // Records of the last transfer the controller acknowledged (0 to 400).
    int recordsAcknowledged() const { return m_protocol.recordsAcknowledged(); }

    // Starts writing `chart` with `stepCount`; does nothing while a transfer
    // runs. A chart the send rule refuses ends at once with `finished`,
    // before anything is opened; otherwise `started` comes first.
    void start(const PatternTable& chart, qint16 stepCount);

    // Ends a running transfer as failed (TransferCause::Stopped), as when the
    // program is ended during it; does nothing otherwise.
    void stop();

    // Closes the line, as the window does when it closes. A transfer that
    // runs hears nothing more and ends by the time-out.
    void closeLine();

signals:
    void started();
    // Records sent (recordsSent): once the erase went out, and at each change.
    void progress(int records);
    // How a transfer ended, once for each start. For a failure, `reason` says
    // why in the user's words: its first line transferFailureText's, then
    // what helps find the fault (the value at fault in the chart, or the
    // serial devices present when the port cannot be opened).
    void finished(TransferEnd end, TransferCause cause, const QString& reason);

private:
    void carryOut(const TransferActions& actions);
    bool carryOutSteps(const TransferActions& actions);
    void lineReceived();
    void timedOut();
    void lineLost(const QString& reason);
    void reportProgress();
    // "COM3 (/dev/ttyUSB0)", or the device alone when the port was chosen by its path or URL.
    QString portLabel() const;
    QString lineFailureText() const;
    QString failureReason(TransferCause cause) const;

    SerialLine* m_line = nullptr;
    QTimer* m_timeout = nullptr;
    // The limit a transfer cut off by the time-out names.
    int m_timeoutMs = TimeoutMs;
    TransferProtocol m_protocol;
    QString m_portName;
    SettingsLocation m_settings;
    SerialDeviceList m_serialDevices = presentSerialDevices;
    // The device of the last opening, and why the line last failed.
    QString m_device;
    QString m_lineReason;
    // What the end of a refused chart names, and the records last reported.
    std::optional<QString> m_faultText;
    int m_reportedRecords = -1;
};
