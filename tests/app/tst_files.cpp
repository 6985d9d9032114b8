#include "FormFixture.h"

#include "ReadOnlyFolder.h"
#include "SmallFileSystem.h"

#include "app/Controls.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using E = ElementCode;

// A pattern file of the start-up chart with the given step count.
QByteArray offChart(const QByteArray& stepCount)
{
    return OffLine.repeated(80) + stepCount + "\r\n";
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveStartUpChart();
    void saveAskedAndAnsweredNo();
    void saveWhileBusy();
    void slotsAreSeparate();
    void roundTrip();
    void loadPlacesMarker_data();
    void loadPlacesMarker();
    void loadKeepsGroupAndPage();
    void loadKeepsPictureOfUnknownValue();
    void loadAnsweredNo();
    void loadFailureChangesNothing_data();
    void loadFailureChangesNothing();
    void saveFailureKeepsChart();
    void saveIntoReadOnlyFolderKeepsOldFile();
    void saveOnFullDiskKeepsOldFile();
    void saveThroughLinkToPipeIsRefused();
    void saveThroughLinkLoopIsRefused();
    void removedWorkingFolder_data();
    void removedWorkingFolder();

private:
    std::unique_ptr<StartedForm> w;
    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
    QString path(const char* name) const { return workDir->filePath(QString::fromUtf8(name)); }
};

void TestFiles::init()
{
    previousDir = QDir::currentPath();
    // A working directory of its own for every test: the pattern files are looked for there.
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    w->boxes.shown.clear();
}

void TestFiles::cleanup()
{
    w.reset();
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TestFiles::saveStartUpChart()
{
    w->failTransfer();
    w->click("Command2");
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& box = w->boxes.shown.first();
    QCOMPARE(box.title, "パターン１へ保存");
    QCOMPARE(box.text, "現在の画面表示を保存するとパターン１の元のデータは失われます。保存しますか？");
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, QMessageBox::Yes);

    const QByteArray saved = readFile(path("パターン１.txt"));
    QCOMPARE(saved.size(), 6484);
    QCOMPARE(saved, offChart("80"));
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");

    // Saving the same chart again gives the same bytes.
    w->click("Command2");
    QCOMPARE(readFile(path("パターン１.txt")), saved);
}

void TestFiles::saveAskedAndAnsweredNo()
{
    QVERIFY(writeFile(path("パターン２.txt"), "old"));
    w->failTransfer();
    w->boxes.answers = {QMessageBox::No};
    w->click("Command4");
    QCOMPARE(w->boxes.shown.size(), 1);
    QCOMPARE(w->boxes.shown.first().title, "パターン２へ保存");
    QCOMPARE(w->boxes.shown.first().text,
             "現在の画面表示を保存するとパターン２の元のデータは失われます。保存しますか？");
    QCOMPARE(readFile(path("パターン２.txt")), "old");
    QCOMPARE(w->lamp(), 0xFFC0C0u);
    QCOMPARE(w->caption(), "失敗");
}

void TestFiles::saveWhileBusy()
{
    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(busy.startTransfer());
    for (const char* button : {"Command2", "Command3", "Command4", "Command5"})
        busy.click(button);
    QVERIFY(busy.boxes.shown.isEmpty());
    QVERIFY(readFile(path("パターン１.txt")).isNull());
    QVERIFY(readFile(path("パターン２.txt")).isNull());
    QCOMPARE(busy.caption(), "処理中");
}

void TestFiles::slotsAreSeparate()
{
    QVERIFY(writeFile(path("パターン１.txt"), offChart("12")));
    w->click("Command4");
    QCOMPARE(readFile(path("パターン１.txt")), offChart("12"));
    QCOMPARE(readFile(path("パターン２.txt")), offChart("80"));

    w->click("Command5"); // loads only slot 2
    QCOMPARE(w->form->document().StepCount(), 80);
    QCOMPARE(w->boxes.shown.last().title, "パターン２の呼び出し");
}

void TestFiles::roundTrip()
{
    // Every element in every group, on both pages, in the kind each is stored in.
    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = E::ofOrdinal((step * 7 + channel) % 16);
    const QByteArray file =
        patternFileOf([](int step, int channel) { return elementField((step * 7 + channel) % 16); });
    w->load(file);
    w->chooseItem("Combo1", "37");
    w->click("Command2");
    QCOMPARE(readFile(path("パターン１.txt")), QByteArray(file).replace("\r\n80\r\n", "\r\n37\r\n"));

    w->load(offChart("80"));
    w->click("Label2");
    w->failTransfer();
    w->click("Command3");
    QCOMPARE(w->boxes.shown.last().title, "パターン１の呼び出し");
    QCOMPARE(w->boxes.shown.last().text,
             "パターン１のデータを呼び出すと、現在画面に表示されているデータは失われます。呼び出しますか？");

    QVERIFY(w->form->document().PatternData() == chart);
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            QCOMPARE(w->form->document().PatternData().at(step, channel).kind(),
                     chart.at(step, channel).kind());
    QCOMPARE(w->form->document().StepCount(), 37);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "37");
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
    for (int i = 0; i < 200; ++i) {
        const int step = i / 5, channel = 5 + i % 5; // group B, page 1
        QCOMPARE(shownImage(w->cell(i)), holderImage(*w->form, ElementHolders[(step * 7 + channel) % 16]));
    }
    QCOMPARE(w->shape("Shape5")->left(), 486.0);
}

void TestFiles::loadPlacesMarker_data()
{
    QTest::addColumn<QByteArray>("stepCount");
    QTest::addColumn<int>("page");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");

    QTest::newRow("1, page 1") << QByteArray("1") << 0 << 54.0 << 468.75;
    QTest::newRow("40, page 1") << QByteArray("40") << 0 << 522.0 << 0.75;
    QTest::newRow("41, page 2") << QByteArray("41") << 1 << 54.0 << 468.75;
    QTest::newRow("40, page 2") << QByteArray("40") << 1 << 42.0 << 480.75;
    QTest::newRow("0 loads as it stands") << QByteArray("0") << 0 << 522.0 << 0.75;
    QTest::newRow("120 loads as it stands") << QByteArray("120") << 1 << 42.0 << 480.75;
    QTest::newRow("-7 loads as it stands") << QByteArray("-7") << 1 << 42.0 << 480.75;
}

void TestFiles::loadPlacesMarker()
{
    QFETCH(QByteArray, stepCount);
    QFETCH(int, page);
    QFETCH(double, left);
    QFETCH(double, width);

    if (page == 1)
        w->click("Command7");
    QVERIFY(writeFile(path("パターン１.txt"), offChart(stepCount)));
    w->click("Command3");
    QCOMPARE(w->form->document().StepCount(), stepCount.toInt());
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), QString::fromLatin1(stepCount));
    QCOMPARE(w->shape("Shape5")->left(), left);
    QCOMPARE(w->shape("Shape5")->widthPt(), width);
}

void TestFiles::loadKeepsGroupAndPage()
{
    // Group C, second page: codes 4 to 9 in channels 10 to 14 of step 41 and channel 10 of step 42.
    QByteArray file;
    for (int step = 0; step < 80; ++step) {
        QByteArrayList fields;
        for (int channel = 0; channel < 40; ++channel) {
            int code = 3;
            if (step == 40 && channel >= 10 && channel < 15)
                code = 4 + channel - 10;
            if (step == 41 && channel == 10)
                code = 9;
            fields << QByteArray::number(code);
        }
        file += fields.join(',') + "\r\n";
    }
    file += "80\r\n";
    QVERIFY(writeFile(path("パターン１.txt"), file));

    w->click("Label3");
    w->click("Command7");
    w->click("Command3");
    QCOMPARE(w->form->state().CurrentGroup, 2);
    QCOMPARE(w->form->state().CurrentPage, 1);
    QCOMPARE(w->get<QLabel>("Label28")->text(), "（ページ２）");
    const char* expected[] = {"UPLM", "UPMH", "DOWNHM", "DOWNML", "ONOFF", "OFFON"};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(shownImage(w->cell(i)), holderImage(*w->form, expected[i]));
    QCOMPARE(w->shape("Shape3")->fillColor(), QColor(0x80, 0x80, 0xFF));
}

void TestFiles::loadKeepsPictureOfUnknownValue()
{
    w->clickCell(0); // shows UP
    QByteArray file = offChart("80");
    file.replace(0, 1, "10");
    QVERIFY(writeFile(path("パターン１.txt"), file));
    w->click("Command3");
    QVERIFY(w->form->document().PatternData().at(0, 0) == E::number(10));
    QCOMPARE(shownImage(w->cell(0)), holderImage(*w->form, "UP"));
    QCOMPARE(shownImage(w->cell(1)), holderImage(*w->form, "OFF"));
}

void TestFiles::loadAnsweredNo()
{
    QVERIFY(writeFile(path("パターン１.txt"), offChart("5")));
    w->clickCell(0);
    w->failTransfer();
    w->boxes.answers = {QMessageBox::No};
    w->click("Command3");
    QVERIFY(w->form->document().PatternData().at(0, 0) == E::number(0));
    QCOMPARE(w->form->document().StepCount(), 80);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "80");
    QCOMPARE(w->shape("Shape5")->left(), 519.0);
    QCOMPARE(w->caption(), "失敗");
}

void TestFiles::loadFailureChangesNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // "(none)": no file
    QTest::newRow("missing file") << QByteArray("(none)");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("too few fields") << offChart("80").left(3000);
    QTest::newRow("no step count") << offChart("").chopped(2);
    QTest::newRow("step count text") << offChart("abc");
    QTest::newRow("step count 1.5") << offChart("1.5");
    QTest::newRow("step count 40000") << offChart("40000");
    QTest::newRow("unterminated quote") << offChart("80").replace(0, 1, "\"3");
    QTest::newRow("binary bytes") << QByteArray(5000, '\x01');
    QTest::newRow("5 MB of digits") << QByteArray(5 * 1024 * 1024, '7');
}

void TestFiles::loadFailureChangesNothing()
{
    QFETCH(QByteArray, content);
    if (content != "(none)")
        QVERIFY(writeFile(path("パターン１.txt"), content));
    w->clickCell(0);
    w->chooseItem("Combo1", "30");
    const PatternTable before = w->form->document().PatternData();
    const QImage cell0 = shownImage(w->cell(0));

    w->click("Command3");
    QCOMPARE(w->boxes.shown.size(), 2);
    const MessageRequest& report = w->boxes.shown.last();
    QVERIFY2(report.text.contains("パターン１.txt"), qPrintable(report.text));
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY(w->form->document().PatternData() == before);
    QCOMPARE(w->form->document().StepCount(), 30);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "30");
    QCOMPARE(shownImage(w->cell(0)), cell0);
    QCOMPARE(w->shape("Shape5")->left(), 402.0);
}

void TestFiles::saveFailureKeepsChart()
{
    // A folder where the file should be: the save cannot replace it.
    QVERIFY(QDir(workDir->path()).mkdir("パターン１.txt"));
    w->clickCell(0);
    const PatternTable before = w->form->document().PatternData();
    w->click("Command2");
    QCOMPARE(w->boxes.shown.size(), 2);
    const MessageRequest& report = w->boxes.shown.last();
    QVERIFY2(report.text.contains("パターン１.txt"), qPrintable(report.text));
    QCOMPARE(report.title, "パターン１へ保存");
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY(w->form->document().PatternData() == before);
    QVERIFY(QFileInfo(path("パターン１.txt")).isDir());

    // The window goes on working: the other slot saves.
    w->click("Command4");
    QCOMPARE(readFile(path("パターン２.txt")).size(), 6484);
}

void TestFiles::saveIntoReadOnlyFolderKeepsOldFile()
{
    QVERIFY(writeFile(path("パターン１.txt"), offChart("12")));
    w->clickCell(0);
    const PatternTable before = w->form->document().PatternData();
    {
        ReadOnlyFolder readOnly(workDir->path());
        if (!readOnly.failure().isEmpty())
            QSKIP(qPrintable(readOnly.failure()));
        w->click("Command2");
    }
    QCOMPARE(w->boxes.shown.size(), 2);
    QVERIFY2(w->boxes.shown.last().text.contains("パターン１.txt"), qPrintable(w->boxes.shown.last().text));
    QCOMPARE(readFile(path("パターン１.txt")), offChart("12"));
    QCOMPARE(QDir(workDir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no leftovers
    QVERIFY(w->form->document().PatternData() == before);
}

void TestFiles::saveOnFullDiskKeepsOldFile()
{
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    QVERIFY(QDir::setCurrent(disk.path()));
    QVERIFY(writeFile(disk.filePath("パターン１.txt"), offChart("12")));
    QVERIFY(disk.fillBlocks());
    w->clickCell(0);
    const PatternTable before = w->form->document().PatternData();

    w->click("Command2");
    QCOMPARE(w->boxes.shown.size(), 2);
    const MessageRequest& report = w->boxes.shown.last();
    QCOMPARE(report.title, "パターン１へ保存");
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY2(
        report.text.startsWith("「パターン１.txt」：ファイルに保存できません（ディスクの空きが足りません"),
        qPrintable(report.text));
    QCOMPARE(readFile(disk.filePath("パターン１.txt")), offChart("12"));
    QVERIFY(w->form->document().PatternData() == before);
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestFiles::saveThroughLinkToPipeIsRefused()
{
#ifdef Q_OS_UNIX
    QCOMPARE(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    QVERIFY(QFile::link(path("pipe"), path("パターン１.txt")));
    w->click("Command2");
    QCOMPARE(w->boxes.shown.size(), 2);
    QVERIFY2(
        w->boxes.shown.last().text.startsWith("「パターン１.txt」：ファイルに保存できません（通常のファイル"),
        qPrintable(w->boxes.shown.last().text));
    QVERIFY(QFileInfo(path("パターン１.txt")).isSymLink());
    QVERIFY(!QFileInfo(path("pipe")).isFile());
#else
    QSKIP("no named pipes here");
#endif
}

void TestFiles::saveThroughLinkLoopIsRefused()
{
#ifdef Q_OS_WIN
    QSKIP(NoSymbolicLinksOnWindows);
#endif
    QVERIFY(QFile::link("loop2", path("パターン１.txt")));
    QVERIFY(QFile::link("パターン１.txt", path("loop2")));
    w->click("Command2");
    QCOMPARE(w->boxes.shown.size(), 2);
    QCOMPARE(w->boxes.shown.last().text,
             "「パターン１.txt」：ファイルに保存できません（リンク先をたどれません）。\n" +
                 QDir::toNativeSeparators(path("パターン１.txt")));
    QCOMPARE(QFileInfo(path("パターン１.txt")).symLinkTarget(), path("loop2"));
    QCOMPARE(QFileInfo(path("loop2")).symLinkTarget(), path("パターン１.txt"));
}

// The folder the program was started in is removed while it runs: the
// message names that folder, not the root.
void TestFiles::removedWorkingFolder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text"); // "%1" stands for the removed folder

    // clang-format off
    QTest::newRow("保存") << "Command2" << "パターン１へ保存" << "「パターン１.txt」：ファイルに保存できません（フォルダ「%1」はもうありません）。\n" "%1/パターン１.txt";
    QTest::newRow("呼出") << "Command3" << "パターン１の呼び出し" << "「パターン１.txt」：ファイルが見つかりません（フォルダ「%1」はもうありません）。\n" "%1/パターン１.txt";
    // clang-format on
}

void TestFiles::removedWorkingFolder()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, text);
#ifdef Q_OS_LINUX
    const QString removed = path("started here");
    QVERIFY(QDir().mkdir(removed));
    QVERIFY(writeFile(removed + "/パターン１.txt", offChart("12")));
    QVERIFY(QDir::setCurrent(removed));
    QVERIFY(QDir(removed).removeRecursively());
    w->clickCell(0);
    const PatternTable before = w->form->document().PatternData();

    w->click(button);
    QVERIFY(QDir::setCurrent(workDir->path()));
    QCOMPARE(w->boxes.shown.size(), 2);
    const MessageRequest& report = w->boxes.shown.last();
    QCOMPARE(report.title, title);
    QCOMPARE(report.icon, QMessageBox::Warning);
    QCOMPARE(report.text, text.arg(removed));
    QVERIFY(w->form->document().PatternData() == before);
    QVERIFY(!QFileInfo::exists(removed));
#else
    Q_UNUSED(button);
    Q_UNUSED(title);
    Q_UNUSED(text);
    QSKIP("a working folder can be removed only on Linux here");
#endif
}

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
