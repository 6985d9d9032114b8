#include "Writer.h"

#include "ChartReport.h"
#include "Output.h"
#include "files/PatternFile.h"
#include "serial/CommControl.h"
#include "serial/SerialDevices.h"
#include "transfer/SendRule.h"
#include "transfer/TransferCarrier.h"
#include "transfer/TransferProtocol.h"

#include <QEventLoop>
#include <QTimer>
#include <optional>

namespace {

// Records sent of the 400, drawn over itself on a terminal.
class ProgressBar
{
public:
    explicit ProgressBar(bool drawn) : m_drawn(drawn) {}

    void show(int records)
    {
        if (!m_drawn || records == m_shown)
            return;
        m_shown = records;
        constexpr int Width = 40;
        const int filled = records * Width / TransferProtocol::RecordCount;
        print(stderr, QStringLiteral("\r書込中 [%1%2] %3/%4")
                          .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('-')))
                          .arg(records, 3)
                          .arg(TransferProtocol::RecordCount));
    }

    void finish()
    {
        if (m_drawn && m_shown >= 0)
            print(stderr, QStringLiteral("\n"));
    }

private:
    bool m_drawn;
    int m_shown = -1;
};

} // namespace

int writeToController(const QString& file, const QString& portName, const SettingsLocation& settings,
                      int timeoutMs)
{
    const PatternFileResult loaded = loadPatternFile(file);
    if (!loaded.ok()) {
        printLine(stderr, QStringLiteral("失敗：「%1」：%2").arg(file, loaded.error));
        return 1;
    }

    CommControl port(settings);
    port.setInputLen(1);
    configureControllerPort(port, portName);
    // A coarse timer may fire up to 5 % early; the time-out keeps to the millisecond.
    QTimer timeout;
    timeout.setTimerType(Qt::PreciseTimer);
    timeout.setSingleShot(true);
    timeout.setInterval(timeoutMs);
    TransferProtocol protocol;
    TransferCarrier carrier(protocol, port, timeout);

    ProgressBar progress(standardErrorIsTerminal());
    QEventLoop loop;
    std::optional<TransferActions> ended;
    auto apply = [&](const TransferActions& actions) {
        const TransferActions done = carrier.carryOut(actions);
        // Nothing to show for a transfer that never reached the line.
        const int records = protocol.state().RecordIndex;
        if (port.PortOpen() || records > 0)
            progress.show(records);
        if (done.end != TransferEnd::None && !ended) {
            ended = done;
            loop.quit();
        }
    };
    QObject::connect(&port, &CommControl::OnComm, [&] {
        if (port.CommEvent() == CommControl::EventReceive)
            apply(protocol.received(port.Input()));
    });
    QObject::connect(&port, &CommControl::portFailed, [&] { apply(protocol.portLost()); });
    QObject::connect(&timeout, &QTimer::timeout, [&] { apply(protocol.timeout()); });

    apply(protocol.start(loaded.content->chart, loaded.content->stepCount));
    if (!ended)
        loop.exec();
    progress.finish();

    if (ended->end == TransferEnd::Success) {
        printLine(stdout, QStringLiteral("成功"));
        return 0;
    }
    // A port that cannot be opened is often the wrong one: say which are there.
    if (ended->cause == TransferCause::PortNotOpened)
        printLine(stderr, presentDevicesText(presentSerialDevices()));
    // The window's reason names no cell; the first at fault helps find it.
    if (ended->cause == TransferCause::UnsendableChart)
        if (const std::optional<SendFault> fault =
                firstSendFault(loaded.content->chart, loaded.content->stepCount))
            printLine(stderr, sendFaultText(*fault));
    printLine(stderr,
              QStringLiteral("失敗：") + transferFailureText(ended->cause, portName, port.errorString()));
    return 1;
}
