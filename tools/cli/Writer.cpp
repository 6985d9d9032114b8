#include "Writer.h"

#include "FileReport.h"
#include "JsonReport.h"
#include "Output.h"
#include "serial/PortAccess.h"
#include "serial/PortLine.h"
#include "serial/PortName.h"
#include "transfer/ControllerTransfer.h"
#include "transfer/SendRule.h"

#include <QElapsedTimer>
#include <QEventLoop>
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
    QString port;         // as given on the command line
    QString device;       // what it stands for
    int records = 0;      // sent
    int acknowledged = 0; // of those, acknowledged by the controller
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
                             ended.acknowledged = transfers[i]->recordsAcknowledged();
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

// "[####----] 123/400": the records sent of the 400 as a bar `width` characters wide; the
// count alone when the bar has no room.
QString recordBar(int records, int width)
{
    const QString count = QStringLiteral("%1/%2").arg(records, 3).arg(TransferProtocol::RecordCount);
    if (width <= 0)
        return count;
    const int filled = records * width / TransferProtocol::RecordCount;
    return QStringLiteral("[%1%2] %3")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')), count);
}

// What the bar of recordBar() may take of `columns`, besides `others`: at most `widest`, none
// where fewer than four would be left.
int barWidth(int columns, int others, int widest)
{
    // "[", "] " and "123/400" around it.
    const int room = columns - others - 10;
    return room < 4 ? 0 : std::min(room, widest);
}

// Records sent of the 400, drawn over itself on a terminal, as wide as the
// terminal lets it be without wrapping (a wrapped line would leave every
// drawing of it behind).
class ProgressBar
{
public:
    explicit ProgressBar(bool drawn) : m_drawn(drawn) {}

    void show(int records)
    {
        if (!m_drawn || records == m_shown)
            return;
        m_shown = records;
        draw();
    }

    // A line drawn for another width may have been wrapped by the terminal, so the bar goes on
    // below it.
    void resized()
    {
        if (!m_drawn || m_shown < 0)
            return;
        print(stderr, QStringLiteral("\n"));
        draw();
    }

    void finish()
    {
        if (m_drawn && m_shown >= 0)
            print(stderr, QStringLiteral("\n"));
    }

private:
    void draw()
    {
        // "書込中 " takes seven columns; the last column stays free.
        const int columns = terminalSize().columns - 1;
        const QString line = QStringLiteral("書込中 ") + recordBar(m_shown, barWidth(columns, 7, 40));
        // Of one width for one terminal's width, so each drawing covers the last one whole.
        print(stderr, QLatin1Char('\r') + fittedToColumns(line, columns));
    }

    bool m_drawn;
    int m_shown = -1;
};

// The ports' progress on a terminal, drawn over itself as the transfers go
// on. Each line is fitted to the terminal's width, for a line that wrapped
// would throw the redrawing off. Where there is room, every port has a line:
// its name, the records sent of the 400 and, once it ended, its result. A
// name too long keeps its end, which tells /dev/serial/by-id/ names apart.
// Where the terminal has fewer rows than the board would take (the cursor
// cannot go back up into lines scrolled away), the ports still running have
// their lines and one line counts those that ended. A terminal too small even
// for that gets no board: the caller prints each port's end instead.
class ProgressBoard
{
public:
    explicit ProgressBoard(const QStringList& portNames)
    {
        for (const QString& name : portNames) {
            PortResult waiting;
            waiting.port = name;
            m_ports.push_back(waiting);
        }
        render();
    }

    // Whether the terminal has the rows for a board: two lines and the cursor's.
    static bool fits() { return terminalSize().rows >= 3; }

    void show(std::size_t index, const PortResult& result)
    {
        m_ports[index] = result;
        render();
    }

    // The terminal may have wrapped the lines drawn for another width: the board starts again
    // below them.
    void resized()
    {
        m_drawn.clear();
        render();
    }

private:
    QString line(const PortResult& result, int nameWidth, int columns) const
    {
        QString name = result.port;
        if (name.size() > nameWidth)
            name = QStringLiteral("...") + name.right(nameWidth - 3);
        const QString state = result.end == TransferEnd::None ? QStringLiteral("書込中")
                              : result.succeeded()            ? QStringLiteral("成功")
                                                              : QStringLiteral("失敗");
        // Two blanks and the state (six columns) after the bar, two after the name.
        const int bar = barWidth(columns, nameWidth + 2 + 8, 20);
        return fittedToColumns(QStringLiteral("%1  %2  %3")
                                   .arg(name.leftJustified(nameWidth), recordBar(result.records, bar), state),
                               columns);
    }

    QStringList lines() const
    {
        const TerminalSize size = terminalSize();
        const int columns = size.columns - 1;
        // The names have what a bar of 20, the count and the state leave them, at least 8 columns
        // where the bar can give way, and never less than "..." and a character.
        int nameWidth = 8;
        for (const PortResult& port : m_ports)
            nameWidth = std::max(nameWidth, int(port.port.size()));
        nameWidth = std::max(4, std::min(nameWidth, std::max(columns - 40, std::min(8, columns - 17))));
        QStringList lines;
        const bool whole = int(m_ports.size()) + 1 <= size.rows;
        int ended = 0, succeeded = 0, hidden = 0;
        for (const PortResult& port : m_ports) {
            if (!whole && port.end != TransferEnd::None) {
                ++ended;
                succeeded += port.succeeded() ? 1 : 0;
            } else if (whole || lines.size() < size.rows - 2) {
                lines << line(port, nameWidth, columns);
            } else {
                ++hidden;
            }
        }
        if (!whole) {
            QString count = QStringLiteral("終了 %1 ポート（成功 %2、失敗 %3）")
                                .arg(ended)
                                .arg(succeeded)
                                .arg(ended - succeeded);
            if (hidden > 0)
                count += QStringLiteral("、ほかに書込中 %1 ポート").arg(hidden);
            lines << fittedToColumns(count, columns);
        }
        return lines;
    }

    // Up to the board's first line, then each line that changed drawn over the old one, and
    // whatever the board no longer takes below it cleared; the cursor ends below the board.
    void render()
    {
        const QStringList now = lines();
        QString out;
        if (!m_drawn.isEmpty())
            out += QStringLiteral("\x1b[%1A").arg(m_drawn.size());
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (i < m_drawn.size() && now[i] == m_drawn[i])
                out += QStringLiteral("\r\n");
            else
                out += QLatin1Char('\r') + now[i] + QStringLiteral("\x1b[K\n");
        }
        if (now.size() < m_drawn.size())
            out += QStringLiteral("\x1b[J");
        if (now != m_drawn)
            print(stderr, out);
        m_drawn = now;
    }

    std::vector<PortResult> m_ports;
    QStringList m_drawn;
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
    case TransferCause::TimeLimit:
        return QStringLiteral("timeLimit");
    case TransferCause::PortNotOpened:
        return QStringLiteral("portNotOpened");
    case TransferCause::WriteFailed:
        return QStringLiteral("writeFailed");
    case TransferCause::PortLost:
        return QStringLiteral("portLost");
    case TransferCause::Stopped:
        return QStringLiteral("stopped");
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
            {QStringLiteral("acknowledged"), result.acknowledged},
            {QStringLiteral("milliseconds"), result.milliseconds}});
    }
    return {
        {QStringLiteral("file"), file},
        {QStringLiteral("stepCount"), content.stepCount},
        {QStringLiteral("firstUnsendable"), sendFaultJson(firstSendFault(content.chart, content.stepCount))},
        {QStringLiteral("success"), allSucceeded},
        {QStringLiteral("ports"), ports}};
}

int writeToOne(const QString& file, const PatternFileContent& content, const QString& portName,
               const SettingsLocation& settings, int timeoutMs, bool json)
{
    ProgressBar progress(standardErrorIsTerminal());
    const TerminalResizes resizes([&progress] { progress.resized(); });
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
    const bool drawn = standardErrorIsTerminal() && ProgressBoard::fits();
#endif
    std::optional<ProgressBoard> board;
    if (drawn)
        board.emplace(portNames);
    const TerminalResizes resizes([&board] {
        if (board)
            board->resized();
    });
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

// The device a port name stands for, so that one named twice is found: both
// protocols and any spelling of the host reach the same server's port, and a
// link (/dev/serial/by-id/...) stands for the device it leads to.
QString canonicalDevice(const QString& device)
{
    if (const std::optional<NetworkPort> port = networkPortOf(device))
        return networkEndpoint(*port);
    return deviceBehindLinks(device);
}

} // namespace

int writeToControllers(const QString& file, const QStringList& portNames, const SettingsLocation& settings,
                       int timeoutMs, bool json)
{
    const Result<PatternFileContent> loaded = loadOrReport(file, QStringLiteral("失敗："));
    if (!loaded)
        return 1;
    const PatternFileContent& content = *loaded;
    // Refused once for all ports, before any of them is opened; a script still gets its document,
    // every port failed for that cause.
    if (const std::optional<SendFault> fault = firstSendFault(content.chart, content.stepCount)) {
        const QString reason = transferFailureText(TransferCause::UnsendableChart, {}, {}) +
                               QLatin1Char('\n') + sendFaultText(*fault);
        if (json) {
            const SettingsSnapshot snapshot = settings.read();
            std::vector<PortResult> results;
            for (const QString& name : portNames)
                results.push_back({.port = name,
                                   .device = deviceOfPortName(name, snapshot),
                                   .end = TransferEnd::Failure,
                                   .cause = TransferCause::UnsendableChart,
                                   .reason = reason});
            printJson(resultsDocument(file, content, results));
        }
        return failed(reason);
    }
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
