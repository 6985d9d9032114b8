#include "transfer/ControllerTransfer.h"

#include "serial/PortName.h"
#include "serial/SerialLine.h"
#include "transfer/SendRule.h"

#include <QTimer>

ControllerTransfer::ControllerTransfer(std::unique_ptr<SerialLine> line, QObject* parent)
    : QObject(parent), m_timeout(new QTimer(this))
{
    m_timeout->setObjectName(QStringLiteral("Timer1"));
    m_timeout->setTimerType(Qt::PreciseTimer);
    m_timeout->setSingleShot(true);
    m_timeout->setInterval(TimeoutMs);
    connect(m_timeout, &QTimer::timeout, this, &ControllerTransfer::timedOut);
    setLine(std::move(line));
}

ControllerTransfer::~ControllerTransfer() = default;

void ControllerTransfer::setLine(std::unique_ptr<SerialLine> line)
{
    delete m_line;
    m_line = line.release();
    m_line->setParent(this);
    m_line->setObjectName(QStringLiteral("mscPort"));
    connect(m_line, &SerialLine::received, this, &ControllerTransfer::lineReceived);
    // A device that goes away mid-transfer (a USB adapter pulled) ends the transfer at once.
    connect(m_line, &SerialLine::lost, this, &ControllerTransfer::lineLost);
    // A port on the network opens after the transfer started: a failure then is a port not opened.
    connect(m_line, &SerialLine::openingFailed, this, [this](const QString& reason) {
        m_lineReason = portLabel() + QStringLiteral(": ") + reason;
        carryOut(m_protocol.portNotOpened());
    });
}

void ControllerTransfer::setPort(const QString& portName, const SettingsLocation& settings)
{
    m_portName = portName;
    m_settings = settings;
}

void ControllerTransfer::setSerialDeviceList(SerialDeviceList list)
{
    m_serialDevices = std::move(list);
}

void ControllerTransfer::setTimeoutInterval(int milliseconds)
{
    m_timeoutMs = milliseconds;
    m_timeout->setInterval(milliseconds);
}

void ControllerTransfer::start(const PatternTable& chart, qint16 stepCount)
{
    if (isRunning())
        return;
    const TransferActions actions = m_protocol.start(chart, stepCount);
    m_faultText.reset();
    if (actions.cause == TransferCause::UnsendableChart) {
        if (const std::optional<SendFault> fault = firstSendFault(chart, stepCount))
            m_faultText = sendFaultText(*fault);
    } else {
        m_reportedRecords = -1;
        emit started();
    }
    carryOut(actions);
}

void ControllerTransfer::stop()
{
    if (isRunning())
        carryOut(m_protocol.stop());
}

void ControllerTransfer::closeLine()
{
    if (m_line->isOpen())
        m_line->close();
}

// When the line cannot be opened or a write fails, the rest is skipped and the
// protocol's answer to that failure carried out instead: nothing more is sent
// and the time-out does not start.
void ControllerTransfer::carryOut(const TransferActions& actions)
{
    if (actions.stopTimeout)
        m_timeout->stop();
    if (actions.openPort && !m_line->isOpen()) {
        // COMn is looked up again at each opening, so a changed settings file counts at once.
        m_device = deviceOfPortName(m_portName, m_settings.read());
        if (m_device.isEmpty() || !m_line->openControllerLine(m_device)) {
            m_lineReason = lineFailureText();
            return carryOut(m_protocol.portNotOpened());
        }
    }
    for (const QByteArray& bytes : actions.writes) {
        // A line lost during the write has ended the transfer already.
        if (!m_line->write(bytes) || !m_line->isOpen()) {
            if (m_protocol.running())
                m_lineReason = lineFailureText();
            return carryOut(m_protocol.writeFailed());
        }
    }
    if (actions.startTimeout)
        m_timeout->start();
    reportProgress();
    if (actions.closePort && m_line->isOpen())
        m_line->close();
    if (actions.end == TransferEnd::Success)
        emit finished(actions.end, actions.cause, QString());
    else if (actions.end == TransferEnd::Failure)
        emit finished(actions.end, actions.cause, failureReason(actions.cause));
}

// Each character is a read of its own: the controller's letter and its CR must
// reach the protocol apart, even when they come together.
void ControllerTransfer::lineReceived()
{
    const QByteArray came = m_line->readAvailable();
    for (const char character : came) {
        // A transfer that ended closed the line, which drops whatever else came.
        if (!m_line->isOpen())
            return;
        carryOut(m_protocol.received(QByteArrayView(&character, 1)));
    }
}

// A line still opening when the time is up never carried the transfer: a server that never
// answered is a port that could not be opened, not a controller that did not reply.
void ControllerTransfer::timedOut()
{
    const QString awaited = m_line->isOpen() ? m_line->unfinishedOpening() : QString();
    if (awaited.isEmpty())
        return carryOut(m_protocol.timeout());
    m_lineReason = portLabel() + QStringLiteral(": ") + awaited;
    carryOut(m_protocol.portNotOpened());
}

void ControllerTransfer::lineLost(const QString& reason)
{
    m_lineReason = portLabel() + QStringLiteral(": ") + reason;
    carryOut(m_protocol.portLost());
}

void ControllerTransfer::reportProgress()
{
    // Nothing to tell of a transfer that never reached the line.
    if (!m_line->isOpen() || recordsSent() == m_reportedRecords)
        return;
    m_reportedRecords = recordsSent();
    emit progress(m_reportedRecords);
}

QString ControllerTransfer::portLabel() const
{
    // A device path or a network port, or on Windows a COMn, which is the device itself.
    if (isDevicePath(m_portName) || isUrlName(m_portName) || m_device == m_portName)
        return m_device;
    return QStringLiteral("COM%1 (%2)").arg(portNumberOf(m_portName)).arg(m_device);
}

QString ControllerTransfer::lineFailureText() const
{
    // A name that stands for no device: there is nothing to open.
    if (m_device.isEmpty())
        return QStringLiteral("ポートが選ばれていません");
    return portLabel() + QStringLiteral(": ") + m_line->errorString();
}

QString ControllerTransfer::failureReason(TransferCause cause) const
{
    const QString text =
        transferFailureText(cause, m_portName, m_lineReason, {m_protocol.recordsAcknowledged(), m_timeoutMs});
    // A serial port that cannot be opened is often the wrong one: say which are there.
    if (cause == TransferCause::PortNotOpened && !isUrlName(m_device))
        return text + QLatin1Char('\n') + presentDevicesText(m_serialDevices());
    // The sentence names no cell; the first at fault helps find it.
    if (cause == TransferCause::UnsendableChart && m_faultText)
        return text + QLatin1Char('\n') + *m_faultText;
    return text;
}
