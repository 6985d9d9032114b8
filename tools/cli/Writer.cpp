#include "Writer.h"

#include "Output.h"
#include "files/PatternFile.h"
#include "serial/PortLine.h"
#include "serial/PortName.h"
#include "transfer/ControllerTransfer.h"
#include "transfer/SendRule.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace {

// What became of the transfer into one controller.
struct PortResult
{
    QString port;   // as given on the command line
    QString device; // what it stands for
    int records = 0;
    TransferEnd end = TransferEnd::None;
    TransferCause cause = TransferCause::None;
    QString reason;
    // From the start of all transfers to the end of this one, so that the
    // times of the ports also tell the order in which they ended.
    qint64 milliseconds = 0;

    bool succeeded() const { return end == TransferEnd::Success; }
    // What failed: the reason's first line. The lines after it help find the fault.
    QString what() const { return reason.section(QLatin1Char('\n'), 0, 0); }
    QStringList details() const
    {
        return reason.section(QLatin1Char('\n'), 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

using ResultChanged = std::function<void(std::size_t index, const PortResult&)>;

// The same chart into every port at once, in one event loop: each port has a
// transfer of its own with its own line, protocol and time-out, so a
// controller that is missing, silent or hung up ends its own transfer and
// no other. `changed` hears of each port's progress and of its end.
std::vector<PortResult> transferToAll(const PatternFileContent& content, const QStringList& portNames,
                                      const SettingsLocation& settings, int timeoutMs,
                                      const ResultChanged& changed)
{
    std::vector<PortResult> results(std::size_t(portNames.size()));
    const SettingsSnapshot snapshot = settings.read();
    QEventLoop loop;
    QElapsedTimer clock;
    std::size_t running = results.size();
    // Gone before what their signals reach.
    std::vector<std::unique_ptr<ControllerTransfer>> transfers;
    for (std::size_t i = 0; i < results.size(); ++i) {
        PortResult& result = results[i];
        result.port = portNames[qsizetype(i)];
        result.device = deviceOfPortName(result.port, snapshot);
        auto& transfer =
            transfers.emplace_back(std::make_unique<ControllerTransfer>(std::make_unique<PortLine>()));
        transfer->setPort(result.port, settings);
        transfer->setTimeoutInterval(timeoutMs);
        QObject::connect(transfer.get(), &ControllerTransfer::progress, [&result, &changed, i](int records) {
            result.records = records;
            changed(i, result);
        });
        QObject::connect(transfer.get(), &ControllerTransfer::finished,
                         [&, i](TransferEnd end, TransferCause cause, const QString& reason) {
                             PortResult& ended = results[i];
                             ended.end = end;
                             ended.cause = cause;
                             ended.reason = reason;
                             ended.milliseconds = clock.elapsed();
                             changed(i, ended);
                             if (--running == 0)
                                 loop.quit();
                         });
    }
    clock.start();
    // A port that cannot be opened ends its transfer within start().
    for (const auto& transfer : transfers)
        transfer->start(content.chart, content.stepCount);
    if (running > 0)
        loop.exec();
    return results;
}

// "[####----] 123/400": the records sent of the 400 as a bar `width` characters wide.
QString recordBar(int records, int width)
{
    const int filled = records * width / TransferProtocol::RecordCount;
    return QStringLiteral("[%1%2] %3/%4")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')))
        .arg(records, 3)
        .arg(TransferProtocol::RecordCount);
}

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
        print(stderr, QStringLiteral("\r書込中 ") + recordBar(records, 40));
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

// One line per port on a terminal, each drawn over itself as its transfer
// goes on: the port, the records sent of the 400 and, once it ended, the
// result. A name too long for the terminal keeps its end, which tells
// /dev/serial/by-id/ names apart; a line that wrapped would throw the
// redrawing off by a line.
class ProgressBoard
{
public:
    explicit ProgressBoard(const QStringList& portNames)
    {
        // The bar, the count and the state take 40 columns after the name ("書込中" six of them),
        // and the last column stays free so that no terminal wraps.
        constexpr int Fixed = 40;
        m_width = 0;
        for (const QString& name : portNames)
            m_width = std::max(m_width, int(name.size()));
        m_width = std::max(8, std::min(m_width, terminalColumns() - Fixed - 1));
        QString block;
        for (const QString& name : portNames) {
            PortResult waiting;
            waiting.port = name;
            m_lines << line(waiting);
            block += m_lines.last() + QLatin1Char('\n');
        }
        print(stderr, block);
    }

    void show(std::size_t index, const PortResult& result)
    {
        const QString drawn = line(result);
        if (drawn == m_lines[qsizetype(index)])
            return;
        m_lines[qsizetype(index)] = drawn;
        // Up from the line below the board to the port's line, and back.
        const qsizetype up = m_lines.size() - qsizetype(index);
        print(stderr, QStringLiteral("\x1b[%1A\r%2\x1b[K\x1b[%1B\r").arg(up).arg(drawn));
    }

private:
    QString line(const PortResult& result) const
    {
        QString name = result.port;
        if (name.size() > m_width)
            name = QStringLiteral("...") + name.right(m_width - 3);
        const QString state = result.end == TransferEnd::None ? QStringLiteral("書込中")
                              : result.succeeded()            ? QStringLiteral("成功")
                                                              : QStringLiteral("失敗");
        return QStringLiteral("%1  %2  %3")
            .arg(name.leftJustified(m_width), recordBar(result.records, 20), state);
    }

    int m_width;
    QStringList m_lines;
};

QString seconds(qint64 milliseconds)
{
    return QStringLiteral("%1 秒").arg(double(milliseconds) / 1000, 0, 'f', 2);
}

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

// How one port ended, on standard error: the result and, for a failure, what
// failed with the lines that help find it under it.
void printEnd(const PortResult& result)
{
    if (result.succeeded()) {
        printLine(stderr, QStringLiteral("%1：成功（%2）").arg(result.port, seconds(result.milliseconds)));
        return;
    }
    printLine(
        stderr,
        QStringLiteral("%1：失敗（%2）：%3").arg(result.port, seconds(result.milliseconds), result.what()));
    for (const QString& line : result.details())
        printLine(stderr, QStringLiteral("  ") + line);
}

// The summary: one line per port in the order given, the names in a column of their own.
QString summary(const std::vector<PortResult>& results)
{
    qsizetype width = 0;
    for (const PortResult& result : results)
        width = std::max(width, result.port.size());
    QStringList lines;
    for (const PortResult& result : results) {
        QString line = QStringLiteral("%1  %2  %3")
                           .arg(result.port.leftJustified(width),
                                result.succeeded() ? QStringLiteral("成功") : QStringLiteral("失敗"),
                                seconds(result.milliseconds).rightJustified(8));
        if (!result.succeeded())
            line += QStringLiteral("  ") + result.what();
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString causeName(TransferCause cause)
{
    switch (cause) {
    case TransferCause::None:
        break;
    case TransferCause::UnsendableChart:
        return QStringLiteral("unsendableChart");
    case TransferCause::NoReply:
        return QStringLiteral("noReply");
    case TransferCause::PortNotOpened:
        return QStringLiteral("portNotOpened");
    case TransferCause::WriteFailed:
        return QStringLiteral("writeFailed");
    case TransferCause::PortLost:
        return QStringLiteral("portLost");
    }
    return {};
}

QJsonObject resultsDocument(const QString& file, const PatternFileContent& content,
                            const std::vector<PortResult>& results)
{
    QJsonArray ports;
    bool allSucceeded = true;
    for (const PortResult& result : results) {
        allSucceeded = allSucceeded && result.succeeded();
        const QJsonValue none(QJsonValue::Null);
        ports.append(QJsonObject{
            {QStringLiteral("port"), result.port},
            {QStringLiteral("device"), result.device.isEmpty() ? none : QJsonValue(result.device)},
            {QStringLiteral("result"),
             result.succeeded() ? QStringLiteral("success") : QStringLiteral("failure")},
            {QStringLiteral("cause"), result.succeeded() ? none : QJsonValue(causeName(result.cause))},
            {QStringLiteral("reason"), result.succeeded() ? none : QJsonValue(result.what())},
            {QStringLiteral("details"), QJsonArray::fromStringList(result.details())},
            {QStringLiteral("records"), result.records},
            {QStringLiteral("milliseconds"), result.milliseconds}});
    }
    return {{QStringLiteral("file"), file},
            {QStringLiteral("stepCount"), content.stepCount},
            {QStringLiteral("success"), allSucceeded},
            {QStringLiteral("ports"), ports}};
}

int writeToOne(const QString& file, const PatternFileContent& content, const QString& portName,
               const SettingsLocation& settings, int timeoutMs, bool json)
{
    ProgressBar progress(standardErrorIsTerminal());
    const std::vector<PortResult> results =
        transferToAll(content, {portName}, settings, timeoutMs,
                      [&](std::size_t, const PortResult& result) { progress.show(result.records); });
    progress.finish();
    if (json)
        printJson(resultsDocument(file, content, results));
    if (results.front().succeeded()) {
        if (!json)
            printLine(stdout, QStringLiteral("成功"));
        return 0;
    }
    return failed(results.front().reason);
}

int writeToMany(const QString& file, const PatternFileContent& content, const QStringList& portNames,
                const SettingsLocation& settings, int timeoutMs, bool json)
{
#ifdef Q_OS_WIN
    // The board moves the cursor with the terminal's escape sequences, which a Windows console
    // takes only when asked to.
    const bool drawn = false;
#else
    const bool drawn = standardErrorIsTerminal();
#endif
    std::optional<ProgressBoard> board;
    if (drawn)
        board.emplace(portNames);
    const std::vector<PortResult> results = transferToAll(content, portNames, settings, timeoutMs,
                                                          [&](std::size_t index, const PortResult& result) {
                                                              if (board)
                                                                  board->show(index, result);
                                                              else if (result.end != TransferEnd::None)
                                                                  printEnd(result);
                                                          });
    bool allSucceeded = true;
    for (const PortResult& result : results) {
        allSucceeded = allSucceeded && result.succeeded();
        // The board has room for the result alone.
        if (board && !result.succeeded())
            printEnd(result);
    }
    if (json)
        printJson(resultsDocument(file, content, results));
    else
        printLine(stdout, summary(results));
    return allSucceeded ? 0 : 1;
}

QString canonicalDevice(const QString& device)
{
    // Both protocols and any spelling of the host reach the same server's port.
    if (const std::optional<NetworkPort> port = networkPortOf(device))
        return networkEndpoint(*port);
#ifndef Q_OS_WIN
    // A link (/dev/serial/by-id/...) stands for the device it leads to.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
#endif
    return device;
}

} // namespace

int writeToControllers(const QString& file, const QStringList& portNames, const SettingsLocation& settings,
                       int timeoutMs, bool json)
{
    const PatternFileResult loaded = loadPatternFile(file);
    if (!loaded.ok()) {
        printLine(stderr, QStringLiteral("失敗：「%1」：%2").arg(file, loaded.error));
        return 1;
    }
    const PatternFileContent& content = *loaded.content;
    // Refused once for all ports, before any of them is opened.
    if (const std::optional<SendFault> fault = firstSendFault(content.chart, content.stepCount))
        return failed(transferFailureText(TransferCause::UnsendableChart, {}, {}) + QLatin1Char('\n') +
                      sendFaultText(*fault));
    if (portNames.size() == 1)
        return writeToOne(file, content, portNames.front(), settings, timeoutMs, json);
    return writeToMany(file, content, portNames, settings, timeoutMs, json);
}

std::optional<QString> portNamedTwice(const QStringList& portNames, const SettingsSnapshot& settings)
{
    QStringList devices;
    for (const QString& name : portNames) {
        const QString device = canonicalDevice(deviceOfPortName(name, settings));
        if (const qsizetype earlier = devices.indexOf(device); earlier >= 0) {
            if (portNames[earlier] == name)
                return QStringLiteral("ポート「%1」が二度指定されています").arg(name);
            return QStringLiteral("ポート「%1」と「%2」は同じデバイス（%3）です")
                .arg(portNames[earlier], name, device);
        }
        devices << device;
    }
    return std::nullopt;
}
