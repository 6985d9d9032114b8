#include "Writer.h"

#include "Output.h"
#include "files/PatternFile.h"
#include "serial/QtSerialLine.h"
#include "transfer/ControllerTransfer.h"
#include "transfer/SendRule.h"

#include <QEventLoop>
#include <QStringList>

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

// The reason's first line is what failed and ends the output, after the lines
// that help find the fault.
int failed(const QString& reason)
{
    QStringList lines = reason.split(QLatin1Char('\n'));
    const QString what = lines.takeFirst();
    for (const QString& line : lines)
        printLine(stderr, line);
    printLine(stderr, QStringLiteral("失敗：") + what);
    return 1;
}

} // namespace

int writeToController(const QString& file, const QString& portName, const SettingsLocation& settings,
                      int timeoutMs)
{
    const PatternFileResult loaded = loadPatternFile(file);
    if (!loaded.ok()) {
        printLine(stderr, QStringLiteral("失敗：「%1」：%2").arg(file, loaded.error));
        return 1;
    }
    const PatternTable& chart = loaded.content->chart;
    const qint16 stepCount = loaded.content->stepCount;
    if (const std::optional<SendFault> fault = firstSendFault(chart, stepCount))
        return failed(transferFailureText(TransferCause::UnsendableChart, portName, {}) + QLatin1Char('\n') +
                      sendFaultText(*fault));

    ControllerTransfer transfer(std::make_unique<QtSerialLine>());
    transfer.setPort(portName, settings);
    transfer.setTimeoutInterval(timeoutMs);
    ProgressBar progress(standardErrorIsTerminal());
    QObject::connect(&transfer, &ControllerTransfer::progress, [&](int records) { progress.show(records); });
    QEventLoop loop;
    TransferEnd end = TransferEnd::None;
    QString reason;
    QObject::connect(&transfer, &ControllerTransfer::finished,
                     [&](TransferEnd how, TransferCause, const QString& why) {
                         end = how;
                         reason = why;
                         loop.quit();
                     });
    transfer.start(chart, stepCount);
    if (end == TransferEnd::None)
        loop.exec();
    progress.finish();

    if (end == TransferEnd::Success) {
        printLine(stdout, QStringLiteral("成功"));
        return 0;
    }
    return failed(reason);
}
