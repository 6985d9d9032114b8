#include "ByteArguments.h"
#include "ChartMenu.h"
#include "SmallFileSystem.h"
#include "app/ChartGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using E = ElementCode;
using Kind = ScriptedFileDialogs::Kind;

constexpr QKeyCombination Open = Qt::CTRL | Qt::Key_O;
constexpr QKeyCombination Save = Qt::CTRL | Qt::Key_S;
constexpr QKeyCombination SaveAs = Qt::CTRL | Qt::SHIFT | Qt::Key_S;

// A pattern file with UP on A1 of step 1 and the step count given.
QByteArray upFirst(const QByteArray& stepCount)
{
    return patternFile({{0, 0, "0"}}, stepCount);
}

const QStringList PatternFilters{"パターンファイル (*.txt)", "すべてのファイル (*)"};

// The captions of the chart menu's list of files last used, in order.
QStringList recentCaptions(const StartedForm& w)
{
    QMenu* menu = openChartMenu(w, 0);
    QStringList captions;
    if (QAction* recent = menu ? menuItem(menu, "最近使ったファイル") : nullptr)
        for (QAction* item : recent->menu()->actions())
            captions << item->text();
    closeChartMenu(w);
    return captions;
}

// Picks item `index` of the chart menu's list of files last used.
void pickRecent(const StartedForm& w, int index)
{
    QMenu* menu = openChartMenu(w, 0);
    QVERIFY(menu);
    QAction* recent = menuItem(menu, "最近使ったファイル");
    QVERIFY(recent && recent->isEnabled());
    QAction* item = recent->menu()->actions().value(index);
    QVERIFY(item);
    item->trigger();
    closeChartMenu(w);
}

QString saveCaption(const StartedForm& w)
{
    QMenu* menu = openChartMenu(w, 0);
    const QString caption = menu ? menuItem(menu, "上書き保存")->text() : QString();
    closeChartMenu(w);
    return caption;
}

// What a user's drag and drop on the chart delivers: the drag entering, then the drop, on cell 7.
// False when the window refused the drag as it entered.
bool drop(const StartedForm& w, const QMimeData& data)
{
    QWidget* target = w.chart();
    const QPointF at = w.cell(7).centre();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    // The drop is taken up once the drag has ended, in the next round of the event loop.
    QCoreApplication::processEvents();
    return true;
}

#ifdef Q_OS_UNIX
// Whether process `pid` has a handler for SIGTERM, from the mask of caught signals the kernel shows.
bool catchesTermination(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}
#endif

} // namespace

// Pattern files by name through the chart menu, the keys, the list of files
// last used, drag and drop and the command line, with the file dialogs
// answered in place of a user.
class TestNamedFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openSaveAndSaveAs();
    void saveBeforeAnyAsksForAName();
    void keysActWithFocusInABox();
    void openIsOneStepOfTheHistory();
    void openRefusals_data();
    void openRefusals();
    void saveRefusals_data();
    void saveRefusals();
    void recentFilesAcrossRestart();
    void recentFilesKeepEight();
    void vanishedRecentFile();
    void recentFilesListThatIsNoFile();
    void drops_data();
    void drops();
    void busyRefusesEverything();
    void commandLineFile_data();
    void commandLineFile();
    void commandLineFileRefused();
    void commandLineOptions_data();
    void commandLineOptions();

private:
    QString path(const QString& name) const { return m_work->filePath(name); }
    // A path as messages show it, with the system's separators.
    QString shownPath(const QString& name) const { return QDir::toNativeSeparators(path(name)); }
    const WindowState& state() const { return w->form->state(); }
    const ChartDocument& document() const { return w->form->document(); }
    // Opens `file` through Ctrl+O and the file dialog.
    void openByName(const QString& file);

    std::unique_ptr<QTemporaryDir> m_work;
    QString m_previousFolder;
    std::unique_ptr<StartedForm> w;
};

void TestNamedFiles::init()
{
    m_previousFolder = QDir::currentPath();
    // The working folder, where the file dialog starts before any file was used.
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
}

void TestNamedFiles::cleanup()
{
    w.reset();
    QDir::setCurrent(m_previousFolder);
    m_work.reset();
}

void TestNamedFiles::openByName(const QString& file)
{
    w->dialogs.answers = {file};
    pressKeys(*w, Open);
}

void TestNamedFiles::openSaveAndSaveAs()
{
    QVERIFY(writeFile(path("show-A.txt"), upFirst("37")));
    QCOMPARE(saveCaption(*w), "上書き保存\tCtrl+S");
    openByName(path("show-A.txt"));
    QCOMPARE(w->dialogs.asked.size(), 1);
    const ScriptedFileDialogs::Asked opened = w->dialogs.asked.first();
    QCOMPARE(opened.kind, Kind::Open);
    QCOMPARE(opened.request.title, "ファイルを開く");
    QCOMPARE(opened.request.folder, m_work->path());
    QCOMPARE(opened.request.filters, PatternFilters);
    QVERIFY(w->boxes.shown.isEmpty());
    QVERIFY(document().PatternData().at(0, 0) == E::number(0));
    QCOMPARE(document().StepCount(), 37);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "37");
    QCOMPARE(shownImage(w->cell(0)), holderImage(*w->form, "UP"));
    // The menu names the file the chart came from, where Ctrl+S writes.
    QCOMPARE(saveCaption(*w), "上書き保存（show-A.txt）\tCtrl+S");

    // Ctrl+S writes there without asking.
    w->clickCell(1); // A2 of step 1: UP
    pressKeys(*w, Save);
    QCOMPARE(w->dialogs.asked.size(), 1);
    QVERIFY(w->boxes.shown.isEmpty());
    const QByteArray edited = patternFile({{0, 0, "0"}, {0, 1, "0"}}, "37");
    QCOMPARE(readFile(path("show-A.txt")), edited);

    // Save as: asked for a name, offered the chart's own; the bytes are those a slot save writes.
    QVERIFY(QDir(m_work->path()).mkdir("shows"));
    w->dialogs.answers = {path("shows/show-B.txt")};
    pressKeys(*w, SaveAs);
    QCOMPARE(w->dialogs.asked.size(), 2);
    const ScriptedFileDialogs::Asked saved = w->dialogs.asked.last();
    QCOMPARE(saved.kind, Kind::Save);
    QCOMPARE(saved.request.title, "名前を付けて保存");
    QCOMPARE(saved.request.name, "show-A.txt");
    QCOMPARE(saved.request.folder, m_work->path());
    QCOMPARE(saved.request.filters, PatternFilters);
    QCOMPARE(saved.request.suffix, "txt");
    QCOMPARE(readFile(path("shows/show-B.txt")), edited);
    w->click("Command2");
    QCOMPARE(readFile(path("パターン１.txt")), edited);
    QCOMPARE(saveCaption(*w), "上書き保存（show-B.txt）\tCtrl+S");

    // The chart menu's items do the same; the next dialog starts where the last file was.
    QVERIFY(chooseFromChartMenu(*w, 0, "ファイルを開く…"));
    QCOMPARE(w->dialogs.asked.size(), 3);
    QCOMPARE(w->dialogs.asked.last().kind, Kind::Open);
    QCOMPARE(w->dialogs.asked.last().request.folder, path("shows"));
    QVERIFY(chooseFromChartMenu(*w, 0, "名前を付けて保存…"));
    QCOMPARE(w->dialogs.asked.last().kind, Kind::Save);
    w->clickCell(2);
    QVERIFY(chooseFromChartMenu(*w, 0, "上書き保存"));
    QCOMPARE(w->dialogs.asked.size(), 4);
    QCOMPARE(readFile(path("shows/show-B.txt")), patternFile({{0, 0, "0"}, {0, 1, "0"}, {0, 2, "0"}}, "37"));
    QCOMPARE(readFile(path("show-A.txt")), edited);
}

void TestNamedFiles::saveBeforeAnyAsksForAName()
{
    pressKeys(*w, Save);
    QCOMPARE(w->dialogs.asked.size(), 1);
    const ScriptedFileDialogs::Asked asked = w->dialogs.asked.first();
    QCOMPARE(asked.kind, Kind::Save);
    QCOMPARE(asked.request.title, "名前を付けて保存");
    QCOMPARE(asked.request.name, "パターン.txt");
    QCOMPARE(asked.request.folder, m_work->path());
    // Cancelled: nothing is written and nothing is said.
    QVERIFY(QDir(m_work->path()).entryList(QDir::Files).isEmpty());
    QVERIFY(w->boxes.shown.isEmpty());

    w->dialogs.answers = {path("first.txt")};
    pressKeys(*w, Save);
    QCOMPARE(readFile(path("first.txt")), patternFile());
    QCOMPARE(saveCaption(*w), "上書き保存（first.txt）\tCtrl+S");
}

// The editable boxes keep the window's keys from their text fields, as for Ctrl+Z.
void TestNamedFiles::keysActWithFocusInABox()
{
    auto* combo = w->get<QComboBox>("Combo1");
    combo->setFocus();
    QCOMPARE(QApplication::focusWidget(), combo);
    QTest::keyClicks(combo, "7");
    for (QKeyCombination keys : {Open, Save, SaveAs, QKeyCombination(Qt::CTRL | Qt::Key_P)})
        pressKeys(*w, keys);
    QList<Kind> kinds;
    for (const ScriptedFileDialogs::Asked& asked : w->dialogs.asked)
        kinds << asked.kind;
    QCOMPARE(kinds, QList<Kind>({Kind::Open, Kind::Save, Kind::Save, Kind::Print}));
    QCOMPARE(QApplication::focusWidget(), combo);
}

void TestNamedFiles::openIsOneStepOfTheHistory()
{
    QVERIFY(writeFile(path("a.txt"), patternFile({}, "12")));
    w->clickCell(0);
    openByName(path("a.txt"));
    QVERIFY(document().PatternData() == startUpChart());
    QCOMPARE(document().StepCount(), 12);
    QMenu* menu = openChartMenu(*w, 0);
    QVERIFY(menu);
    QCOMPARE(menuItem(menu, "元に戻す")->text(), "元に戻す: ファイルを開く\tCtrl+Z");
    closeChartMenu(*w);
    pressKeys(*w, Qt::CTRL | Qt::Key_Z);
    QVERIFY(document().PatternData().at(0, 0) == E::number(0));
    QCOMPARE(document().StepCount(), 80);
    QCOMPARE(shownImage(w->cell(0)), holderImage(*w->form, "UP"));
}

// Read as 呼出 reads: all or nothing, with the same reasons; nothing changes, not even the file
// the menu names or the list of files last used.
void TestNamedFiles::openRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "(none)": no file, "(folder)": a folder
    QTest::addColumn<QString>("reason");

    // clang-format off
    QTest::newRow("no such file") << "gone.txt" << QByteArray("(none)") << "ファイルが見つかりません。";
    QTest::newRow("a folder") << "folder.txt" << QByteArray("(folder)") << "パターンファイルではありません（通常のファイルではありません）。";
    QTest::newRow("too few fields") << "short.txt" << QByteArray("1,2,3\r\n") << "ファイルが壊れています（値が足りません）。";
    // clang-format on
}

void TestNamedFiles::openRefusals()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    if (content == "(folder)")
        QVERIFY(QDir(m_work->path()).mkdir(name));
    else if (content != "(none)")
        QVERIFY(writeFile(path(name), content));
    w->clickCell(0);
    const PatternTable before = document().PatternData();

    openByName(path(name));
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& report = w->boxes.shown.first();
    QCOMPARE(report.title, "ファイルを開く");
    QCOMPARE(report.text, QStringLiteral("「%1」：%2\n%3").arg(name, reason, shownPath(name)));
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY(document().PatternData() == before);
    QCOMPARE(document().StepCount(), 80);
    QCOMPARE(saveCaption(*w), "上書き保存\tCtrl+S");
    QVERIFY(recentCaptions(*w).isEmpty());
    QVERIFY(!QFile::exists(w->folder.configFolder() + "/最近使ったファイル.txt"));
}

// Written as a slot is: the old file stays whole, a link stays a link, and the reason is shown.
void TestNamedFiles::saveRefusals_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("a link to a pipe") << "pipe";
    QTest::newRow("a full disk") << "full disk";
}

void TestNamedFiles::saveRefusals()
{
    QFETCH(QString, where);
    std::unique_ptr<SmallFileSystem> disk;
    QString file;
    QString reason;
    if (where == "pipe") {
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
        QVERIFY(QFile::link(path("pipe"), path("show.txt")));
        file = path("show.txt");
        reason = "ファイルに保存できません（通常のファイルではありません）。";
#else
        QSKIP("no named pipes here");
#endif
    } else {
        disk = std::make_unique<SmallFileSystem>("size=64k");
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->whyNotMounted()));
        file = disk->filePath("show.txt");
        QVERIFY(writeFile(file, upFirst("12")));
        QVERIFY(disk->fillBlocks());
        reason = "ファイルに保存できません（ディスクの空きが足りません";
    }
    const QByteArray before = where == "pipe" ? QByteArray() : readFile(file);
    w->clickCell(3);
    w->dialogs.answers = {file};
    pressKeys(*w, SaveAs);
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& report = w->boxes.shown.first();
    QCOMPARE(report.title, "名前を付けて保存");
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY2(report.text.startsWith("「show.txt」：" + reason), qPrintable(report.text));
    QVERIFY2(report.text.endsWith("\n" + file), qPrintable(report.text));
    if (where == "pipe") {
        QVERIFY(QFileInfo(file).isSymLink());
        QVERIFY(!QFileInfo(path("pipe")).isFile());
    } else {
        QCOMPARE(readFile(file), before);
    }
    // A file that could not be written is not the chart's file.
    QCOMPARE(saveCaption(*w), "上書き保存\tCtrl+S");
}

// The list is kept in the user's configuration folder, in a file of its own, newest first; the
// next run shows it and opens from it, and its first dialog starts where the newest file is.
void TestNamedFiles::recentFilesAcrossRestart()
{
    QVERIFY(QDir(m_work->path()).mkdir("b"));
    for (const char* name : {"a.txt", "b/c.txt"})
        QVERIFY(writeFile(path(name), upFirst("12")));
    QVERIFY(recentCaptions(*w).isEmpty());
    openByName(path("a.txt"));
    w->dialogs.answers = {path("b/b.txt")};
    pressKeys(*w, SaveAs);
    openByName(path("b/c.txt"));
    openByName(path("a.txt"));
    QVERIFY(w->boxes.shown.isEmpty());

    const QString folder = QDir::toNativeSeparators(m_work->path());
    const QString subfolder = shownPath("b");
    const QStringList expected{QStringLiteral("&1 a.txt（%1）").arg(folder),
                               QStringLiteral("&2 c.txt（%1）").arg(subfolder),
                               QStringLiteral("&3 b.txt（%1）").arg(subfolder)};
    QCOMPARE(recentCaptions(*w), expected);
    const QString list = w->folder.configFolder() + "/最近使ったファイル.txt";
    QCOMPARE(readFile(list),
             (path("a.txt") + '\n' + path("b/c.txt") + '\n' + path("b/b.txt") + '\n').toUtf8());
    // Never among the settings, which hold the port.
    QVERIFY(!readFile(w->folder.configFolder() + "/Setting.ini").contains("a.txt"));
    QVERIFY(!readFile(w->folder.filePath("Setting.ini")).contains("a.txt"));

    QVERIFY(w->restart());
    QVERIFY(activate(*w));
    QCOMPARE(recentCaptions(*w), expected);
    QCOMPARE(saveCaption(*w), "上書き保存\tCtrl+S");
    pressKeys(*w, Open);
    QCOMPARE(w->dialogs.asked.last().request.folder, m_work->path());

    pickRecent(*w, 2);
    QVERIFY(w->boxes.shown.isEmpty());
    QCOMPARE(document().StepCount(), 12);
    QCOMPARE(saveCaption(*w), "上書き保存（b.txt）\tCtrl+S");
    QCOMPARE(recentCaptions(*w).first(), QStringLiteral("&1 b.txt（%1）").arg(subfolder));

    // The next start's first dialog begins in the folder of the file last used.
    QVERIFY(w->restart());
    QVERIFY(activate(*w));
    pressKeys(*w, Open);
    QCOMPARE(w->dialogs.asked.last().request.folder, path("b"));

    // A list the user deletes while the window runs is gone from the menu, and the next file
    // used starts a new one instead of bringing the old entries back.
    QCOMPARE(recentCaptions(*w).size(), 3);
    QVERIFY(QFile::remove(list));
    QVERIFY(recentCaptions(*w).isEmpty());
    openByName(path("a.txt"));
    QCOMPARE(readFile(list), (path("a.txt") + '\n').toUtf8());
}

void TestNamedFiles::recentFilesKeepEight()
{
    for (int i = 0; i < 10; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        QVERIFY(writeFile(path(name), patternFile()));
        openByName(path(name));
    }
    const QStringList captions = recentCaptions(*w);
    QCOMPARE(captions.size(), 8);
    QVERIFY2(captions.first().startsWith("&1 f9.txt"), qPrintable(captions.first()));
    QVERIFY2(captions.last().startsWith("&8 f2.txt"), qPrintable(captions.last()));
}

// A file that has gone is shown as gone; picking it takes it off the list and says so.
void TestNamedFiles::vanishedRecentFile()
{
    QVERIFY(writeFile(path("a.txt"), upFirst("12")));
    QVERIFY(writeFile(path("b.txt"), upFirst("20")));
    openByName(path("a.txt"));
    openByName(path("b.txt"));
    QVERIFY(QFile::remove(path("a.txt")));
    const QString folder = QDir::toNativeSeparators(m_work->path());
    QCOMPARE(recentCaptions(*w),
             QStringList({QStringLiteral("&1 b.txt（%1）").arg(folder),
                          QStringLiteral("&2 a.txt（%1） ― 見つかりません").arg(folder)}));

    pickRecent(*w, 1);
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& report = w->boxes.shown.first();
    QCOMPARE(report.title, "最近使ったファイル");
    QCOMPARE(report.text,
             "「a.txt」が見つかりません。最近使ったファイルの一覧から外します。\n" + shownPath("a.txt"));
    QCOMPARE(report.icon, QMessageBox::Warning);
    QCOMPARE(document().StepCount(), 20);
    QCOMPARE(recentCaptions(*w), QStringList{QStringLiteral("&1 b.txt（%1）").arg(folder)});
    QCOMPARE(readFile(w->folder.configFolder() + "/最近使ったファイル.txt"), (path("b.txt") + '\n').toUtf8());
}

// A pipe in the place of the list is never opened (opening it would wait for a writer and
// freeze the window): it lists nothing and stays a pipe.
void TestNamedFiles::recentFilesListThatIsNoFile()
{
#ifdef Q_OS_UNIX
    const QString list = w->folder.configFolder() + "/最近使ったファイル.txt";
    QVERIFY(QDir().mkpath(w->folder.configFolder()));
    QCOMPARE(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
    // Opening the pipe for writing without waiting succeeds only while something reads it;
    // the writer lets any such reader go on at once with nothing read.
    std::atomic<bool> stop = false, readerSeen = false;
    std::thread writer([&] {
        while (!stop) {
            const int fd = ::open(QFile::encodeName(list).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                readerSeen = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    QVERIFY(writeFile(path("a.txt"), upFirst("12")));
    QVERIFY(recentCaptions(*w).isEmpty());
    pressKeys(*w, Open); // cancelled: the dialog starts in the working folder
    QCOMPARE(w->dialogs.asked.last().request.folder, m_work->path());
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^最近使ったファイルの一覧を「.*」に保存"
                                            "できませんでした: .*通常のファイルではありません"));
    openByName(path("a.txt"));
    QCOMPARE(document().StepCount(), 12);
    QVERIFY(recentCaptions(*w).isEmpty());
    stop = true;
    writer.join();
    QVERIFY(!readerSeen);
    QVERIFY(QFileInfo(list).exists() && !QFileInfo(list).isFile());
#else
    QSKIP("no named pipes here");
#endif
}

void TestNamedFiles::drops_data()
{
    QTest::addColumn<QStringList>("files"); // dropped as URLs; "http:" ones as they stand
    QTest::addColumn<QString>("text");      // dropped as plain text
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("message"); // the box shown: the question, or the refusal; "%1" the file's path
    QTest::addColumn<int>("stepCount");   // after the drop

    const auto yes = QMessageBox::Yes;
    const auto no = QMessageBox::No;
    // clang-format off
    QTest::newRow("a pattern file, answered Yes") << QStringList{"show.txt"} << "" << yes << "「show.txt」を呼び出しますか？" << 12;
    QTest::newRow("a pattern file, answered No") << QStringList{"show.txt"} << "" << no << "「show.txt」を呼び出しますか？" << 80;
    QTest::newRow("a folder") << QStringList{"folder"} << "" << yes << "「folder」はフォルダです。パターンファイルをドロップしてください。\n%1" << 80;
    QTest::newRow("two files") << QStringList{"show.txt", "other.txt"} << "" << yes << "ファイルが 2 個ドロップされました。パターンファイルは1つずつドロップしてください。" << 80;
    QTest::newRow("text") << QStringList{} << "show.txt" << yes << "ドロップされたものはファイルではありません。パターンファイルを1つドロップしてください。" << 80;
    QTest::newRow("a web address") << QStringList{"http://example.org/show.txt"} << "" << yes << "ドロップされたものはファイルではありません。パターンファイルを1つドロップしてください。" << 80;
    // clang-format on
}

void TestNamedFiles::drops()
{
    QFETCH(QStringList, files);
    QFETCH(QString, text);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, message);
    QFETCH(int, stepCount);
    QVERIFY(writeFile(path("show.txt"), upFirst("12")));
    QVERIFY(writeFile(path("other.txt"), upFirst("30")));
    QVERIFY(QDir(m_work->path()).mkdir("folder"));
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << (file.startsWith("http:") ? QUrl(file) : QUrl::fromLocalFile(path(file)));
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(text);

    w->boxes.answers = {answer};
    QVERIFY(drop(*w, data));
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& shown = w->boxes.shown.first();
    QCOMPARE(shown.text, QString(message).replace("%1", shownPath(files.value(0))));
    if (message.endsWith("ますか？")) {
        QCOMPARE(shown.title, "ファイルを開く");
        QCOMPARE(shown.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(shown.defaultButton, QMessageBox::No);
    } else {
        QCOMPARE(shown.title, "ファイルのドロップ");
        QCOMPARE(shown.icon, QMessageBox::Warning);
    }
    QCOMPARE(document().StepCount(), stepCount);
    QCOMPARE(saveCaption(*w), stepCount == 12 ? "上書き保存（show.txt）\tCtrl+S" : "上書き保存\tCtrl+S");
}

// During a transfer nothing here acts: no key, no menu item, no drop, no command-line file.
void TestNamedFiles::busyRefusesEverything()
{
    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(busy.startTransfer());
    QVERIFY(activate(busy));
    QVERIFY(writeFile(path("show.txt"), upFirst("12")));
    busy.dialogs.answers = {path("show.txt"), path("show.txt"), path("show.txt")};

    for (QKeyCombination keys : {Open, Save, SaveAs, QKeyCombination(Qt::CTRL | Qt::Key_P)})
        pressKeys(busy, keys);
    QMenu* menu = openChartMenu(busy, 0);
    QVERIFY(menu);
    for (const char* item : {"ファイルを開く…", "最近使ったファイル", "上書き保存", "名前を付けて保存…",
                             "PDFに書き出す…", "印刷…"})
        QVERIFY2(!menuItem(menu, QString::fromUtf8(item))->isEnabled(), item);
    closeChartMenu(busy);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path("show.txt"))});
    QVERIFY(!drop(busy, data));
    busy.form->openFile(path("show.txt"));

    QVERIFY(busy.dialogs.asked.isEmpty());
    QVERIFY(busy.boxes.shown.isEmpty());
    QCOMPARE(busy.form->document().StepCount(), 80);
    QCOMPARE(busy.caption(), "処理中");
}

void TestNamedFiles::commandLineFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QList<QByteArray>>("more"); // arguments after the file
    QTest::addColumn<bool>("listed");            // kept in the list of files last used
    QTest::addColumn<QString>("err");

    // clang-format off
    QTest::newRow("plain name") << QByteArray("show-A.txt") << QList<QByteArray>{} << true << "";
    // Saved by a system that writes names in Shift_JIS; a list in UTF-8 cannot keep such a name.
    QTest::newRow("name in bytes that are no text") << QByteArray("sj\x83p\x83^.txt") << QList<QByteArray>{} << false << "";
    QTest::newRow("a second file") << QByteArray("show-A.txt") << QList<QByteArray>{"other-\x83.txt"} << true << "trv5kb-programmer: 「other-\\x83.txt」は開きません（開くファイルは一つだけです）\n";
    // clang-format on
}

// `trv5kb-programmer -platform offscreen FILE`: the program, started as a user starts it, opens
// FILE, named by its bytes, once it is up (Qt takes its own options first). It adds the file to
// the list of files last used, and on closing keeps the chart it holds then: the file's. A
// second file is not opened, and the program says so.
void TestNamedFiles::commandLineFile()
{
#ifdef Q_OS_UNIX
    QFETCH(QByteArray, name);
    QFETCH(QList<QByteArray>, more);
    QFETCH(bool, listed);
    QFETCH(QString, err);
    // A program folder of its own, so the settings the program stores do not land in the build.
    QTemporaryDir program;
    QVERIFY(program.isValid());
    QVERIFY(QFile::copy(TRV_PROGRAM, program.filePath("trv5kb-programmer")));
    QVERIFY(QFile::setPermissions(program.filePath("trv5kb-programmer"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const ProgramFolder pictures(program.path());
    const QByteArray file = patternFile({{0, 0, "0"}, {79, 39, "1"}}, "37");
    QFile made(path("made"));
    QVERIFY(writeFile(made.fileName(), file));
    QVERIFY(::rename(QFile::encodeName(made.fileName()), QFile::encodeName(m_work->path()) + '/' + name) ==
            0);

    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath("runtime"));
    QFile::setPermissions(home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    startWithBytes(process, program.filePath("trv5kb-programmer"),
                   QList<QByteArray>{"-platform", "offscreen", name} + more);
    QVERIFY(process.waitForStarted());
    const QString list = home.filePath("config/trv5kb-programmer/最近使ったファイル.txt");
    // The file is opened in the first turn of the event loop, before the signal is handled.
    const bool opened =
        waitFor([&] { return catchesTermination(process.processId()) && (!listed || QFile::exists(list)); },
                HangLimitMs);
    if (!opened) {
        process.kill();
        QFAIL(process.readAllStandardError().constData());
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(HangLimitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    QCOMPARE(readFile(home.filePath("data/trv5kb-programmer/前回終了時のチャート.txt")), file);
    QCOMPARE(readFile(list), listed ? (path(QString::fromUtf8(name)) + '\n').toUtf8() : QByteArray());
#else
    QSKIP("needs SIGTERM and /proc");
#endif
}

void TestNamedFiles::commandLineOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // how standard output begins
    QTest::addColumn<QString>("err");

    const QString help = "使い方: trv5kb-programmer [オプション] [FILE]\n";
    // clang-format off
    QTest::newRow("--help") << QStringList{"--help"} << 0 << help << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << help << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "trv5kb-programmer " TRV_VERSION "\n" << "";
    // Qt's own options before it are no -r, -e, -v run together.
    QTest::newRow("among Qt's options") << QStringList{"-platform", "offscreen", "-reverse", "--help"} << 0 << help << "";
    QTest::newRow("an option it does not know") << QStringList{"-platform", "offscreen", "--fast"} << 2 << "" << "trv5kb-programmer: 「--fast」というオプションはありません（使い方は trv5kb-programmer --help）\n";
    // clang-format on
}

// --help and --version answer on standard output without a display, as over ssh; the window
// never opens, and never takes an option for a file it cannot find.
void TestNamedFiles::commandLineOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    // A session's runtime folder, which the window's start looks for.
    environment.insert("XDG_RUNTIME_DIR", path("runtime"));
    QVERIFY(QDir(m_work->path()).mkdir("runtime"));
    QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(TRV_PROGRAM, arguments);
    QVERIFY(process.waitForFinished(HangLimitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.isEmpty() ? shown.isEmpty() : shown.startsWith(out), qPrintable(shown));
    QCOMPARE(process.exitCode(), code);
}

// A file on the command line that cannot be read is reported as an open would report it; the
// window stays as it started.
void TestNamedFiles::commandLineFileRefused()
{
    w->form->openFile("missing.txt");
    QCOMPARE(w->boxes.shown.size(), 1);
    QCOMPARE(w->boxes.shown.first().title, "ファイルを開く");
    QCOMPARE(w->boxes.shown.first().text,
             "「missing.txt」：ファイルが見つかりません。\n" + shownPath("missing.txt"));
    QVERIFY(document().PatternData() == startUpChart());
    QVERIFY(w->form->isVisible());
}

QTEST_MAIN(TestNamedFiles)
#include "tst_namedfiles.moc"
