// Started by the benchmark, once per measurement: shows either the program's
// own window, through the same steps as the program's main(), or a bare Qt
// window of the same size and title with one line of Japanese text in the
// program's font. After the window's first paint it prints one line,
// "painted <ns> rss <kB>": the monotonic clock (nanoseconds) when the first
// paint was done, which the benchmark compares with the moment it started
// this process, and the resident memory then (on Windows the working set;
// there the benchmark times the line's arrival instead, as Windows' clock is
// not the build machine's).
//
// Usage: trv5kb-startup-probe program|bare
// With TRV_PROBE_SMAPS=FILE set, it also copies /proc/self/smaps into FILE at
// that moment, for a look at where the memory goes.

#include "app/ControlFactory.h"
#include "app/Form1.h"
#include "app/Layout.h"
#include "app/MessageBoxes.h"
#include "app/Program.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
// after windows.h, which it needs
#include <psapi.h>
#endif

namespace {

// Message boxes would wait for a user; the benchmark has none.
class NoBoxes : public MessageBoxes
{
public:
    QMessageBox::StandardButton show(QWidget*, const MessageRequest& request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    }
};

qlonglong residentKilobytes()
{
#ifdef Q_OS_WIN
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return qlonglong(counters.WorkingSetSize / 1024);
#else
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
#endif
}

// Reports once the first paint of the window has been handled whole (its
// children paint in the same pass).
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                // Where the memory is, mapping by mapping, for whoever asks.
                if (const QString path = qEnvironmentVariable("TRV_PROBE_SMAPS"); !path.isEmpty()) {
                    QFile smaps(QStringLiteral("/proc/self/smaps")), copy(path);
                    if (smaps.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly))
                        copy.write(smaps.readAll());
                }
                std::printf("painted %lld rss %lld\n",
                            qlonglong(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                            residentKilobytes());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool bare = argc > 1 && qstrcmp(argv[1], "bare") == 0;
    FirstPaint firstPaint;
    NoBoxes boxes;
    std::unique_ptr<QWidget> window;
    if (bare) {
        installFontFallback();
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("TRV5KB Programmer"));
        window->setFixedSize(pixelRect(Layout::ClientArea).size());
        auto* text = new QLabel(QStringLiteral("40チャンネル調光コントローラの調光パターン"), window.get());
        text->setFont(layoutFont(Layout::DefaultFont));
        text->move(10, 10);
        window->installEventFilter(&firstPaint);
        window->show();
    } else {
        // The filter must be in place before the window is shown, so it is put on the application.
        app.installEventFilter(&firstPaint);
        window = startWindow(boxes);
        if (!window)
            return 1;
    }
    return app.exec();
}
