#include "ChartText.h"
#include "FileBytes.h"
#include "PdfReader.h"
#include "SmallFileSystem.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// OFF everywhere but ON on A1 in all 80 steps, UP on C3 of step 2, DOWN on H5 of step 50
// (beyond the step count 37, so group H is all OFF where it counts) and the number 10, no
// element, on C4 of step 3.
QByteArray showA()
{
    return patternFileOf(
        [](int step, int channel) -> QByteArray {
            if (channel == 0)
                return "2";
            if (step == 1 && channel == 12)
                return "0";
            if (step == 2 && channel == 13)
                return "10";
            if (step == 49 && channel == 39)
                return "1";
            return "3";
        },
        "37");
}

// Every element in every group, in all 80 steps.
QByteArray everyElement()
{
    return patternFileOf([](int step, int channel) { return elementField((step * 7 + channel) % 16); });
}

// The sheet's layout in points (A4 landscape, 842 x 595, margins of 10 mm): where the
// middle of a cell lies, for `block` 0 (steps 1 to 40) or 1 (steps 41 to 80), channel row
// `row` and step column `column`, and where the end marker stands before `column`.
constexpr double Margin = 28.35;
constexpr double GridLeft = Margin + 44;
constexpr double Cell = 18.53;
constexpr double BlockTop = Margin + 56;
constexpr double BlockPitch = 120.65 + 28;
constexpr double CellsTop = 12;
constexpr double RowPitch = Cell + 4;

QPointF cellMiddle(int block, int row, int column)
{
    return {GridLeft + (column + 0.5) * Cell,
            BlockTop + block * BlockPitch + CellsTop + row * RowPitch + Cell / 2};
}

QPointF markerAt(int block, int row, int column)
{
    return {GridLeft + column * Cell, cellMiddle(block, row, 0).y()};
}

QRgb pixelAt(const QImage& page, QPointF points, int dotsPerInch)
{
    return page.pixel((points * dotsPerInch / 72).toPoint());
}

bool isGreen(QRgb p)
{
    return qGreen(p) > 150 && qRed(p) < 120 && qBlue(p) < 120;
}

// Greyed: no colour, neither white nor dark.
bool isGrey(QRgb p)
{
    const int spread = std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
    return spread < 16 && qGreen(p) > 120 && qGreen(p) < 235;
}

bool isNavy(QRgb p)
{
    return qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) > 40 && qBlue(p) < 110;
}

// Text as pdftotext gives it, without its blanks: how much room a proportional font leaves
// between words is the font's, and pdftotext makes blanks of some gaps and not of others.
QString flat(QString text)
{
    return text.remove(' ');
}

QString describe(QRgb p)
{
    return QStringLiteral("#%1").arg(p & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

} // namespace

// `trv5kb pdf` run as a user runs it, its document read with poppler's tools:
// the pages, their text and the pixels of a few cells.
class TestCliPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sheetOfAChart();
    void sheetCells();
    void everyGroupInUse();
    void noDisplayNeeded_data();
    void noDisplayNeeded();
    void refusals_data();
    void refusals();
    void fullDiskKeepsOldFile();
    void whatIsReplaced_data();
    void whatIsReplaced();
    void badUsage_data();
    void badUsage();

private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };
    Result run(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_sheet;
};

TestCliPdf::Result TestCliPdf::run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    process.start(TRV_CLI, arguments);
    Result result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCliPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (const QString missing = pdfToolsMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY(writeFile(path("show-A.txt"), showA()));
    QVERIFY(writeFile(path("plain.txt"), patternFile()));
    const Result result = run({"pdf", "show-A.txt", "show-A.pdf"});
    QCOMPARE(result.err, "");
    QCOMPARE(result.out, "");
    QCOMPARE(result.code, 0);
    m_sheet = path("show-A.pdf");
}

// A page for group A and one for C; B and D to H are all OFF over steps 1 to 37 and left out.
void TestCliPdf::sheetOfAChart()
{
    QCOMPARE(pdfPageCount(m_sheet), 2);
    QVERIFY2(pdfInfo(m_sheet, "Page size").startsWith("842 x 595 pts (A4)"),
             qPrintable(pdfInfo(m_sheet, "Page size")));
    QCOMPARE(pdfInfo(m_sheet, "Title"), "show-A.txt");
    // The Japanese texts in the file's own font, so that every viewer and printer shows them.
    QVERIFY2(pdfEmbeddedFonts(m_sheet).join(' ').contains("IPAPGothic"),
             qPrintable(pdfEmbeddedFonts(m_sheet).join(' ')));

    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    const QStringList legend{"UP",          "DOWN",     "ON",        "OFF",       "UP-L",
                             "UP-H",        "DOWN-H",   "DOWN-L",    "ON-OFF",    "OFF-ON",
                             "ON-1/2",      "ON-1/4",   "UP-L(1/4)", "UP-H(1/4)", "DOWN-H(1/4)",
                             "DOWN-L(1/4)", "コード 0", "コード 9",  "コード :",  "コード ?"};
    const struct
    {
        int page;
        const char* group;
        const char* number;
    } pages[] = {{1, "グループA", "1 / 2"}, {2, "グループC", "2 / 2"}};
    for (const auto& page : pages) {
        const QString text = flat(pdfPageText(m_sheet, page.page));
        for (const QString& expected :
             QStringList{page.group, "show-A.txt", "ステップ数 37", today, page.number, "CH1", "CH5", "80"} +
                 legend)
            QVERIFY2(
                text.contains(flat(expected)),
                qPrintable(QStringLiteral("page %1 lacks 「%2」:\n%3").arg(page.page).arg(expected, text)));
        QVERIFY2(
            text.contains(flat("省略したグループ（使うステップの全チャンネルが OFF）：グループB、グループD、"
                               "グループE、グループF、グループG、グループH")),
            qPrintable(text));
    }
    // The value that is no element shows as it stands, on group C's page.
    QVERIFY(pdfPageText(m_sheet, 2).contains("10"));
}

// Group A's page at 144 dots per inch: A1 is ON in every step, so the steps in use show ON's
// green, the steps beyond 37 the same picture greyed; the end marker stands before step 38 in
// the first row of steps, and before step 41, the first of the second row, which is all out of use.
void TestCliPdf::sheetCells()
{
    constexpr int Dpi = 144;
    const QImage page = pdfPageImage(m_sheet, 1, Dpi);
    QVERIFY(!page.isNull());
    QCOMPARE(page.size(), QSize(1684, 1190));
    const struct
    {
        const char* what;
        QPointF at;
        bool (*check)(QRgb);
    } probes[] = {
        {"step 1 in use", cellMiddle(0, 0, 0), isGreen},
        {"step 37 in use", cellMiddle(0, 0, 36), isGreen},
        {"step 38 greyed", cellMiddle(0, 0, 37), isGrey},
        {"step 40 greyed", cellMiddle(0, 0, 39), isGrey},
        {"step 41 greyed", cellMiddle(1, 0, 0), isGrey},
        {"step 80 greyed", cellMiddle(1, 0, 39), isGrey},
        {"end marker before step 38", markerAt(0, 2, 37), isNavy},
        {"end marker before step 41", markerAt(1, 2, 0), isNavy},
        {"no marker before step 37", markerAt(0, 0, 36) + QPointF(Cell / 2, 0), isGreen},
    };
    for (const auto& probe : probes) {
        const QRgb pixel = pixelAt(page, probe.at, Dpi);
        QVERIFY2(probe.check(pixel), qPrintable(QStringLiteral("%1: %2").arg(probe.what, describe(pixel))));
    }
}

// A chart with no group left all OFF: a page for each of the eight groups, nothing left out.
void TestCliPdf::everyGroupInUse()
{
    QVERIFY(writeFile(path("every.txt"), everyElement()));
    const Result result = run({"pdf", "every.txt", "every.pdf"});
    QCOMPARE(result.code, 0);
    QCOMPARE(pdfPageCount(path("every.pdf")), 8);
    for (int page = 1; page <= 8; ++page) {
        const QString text = flat(pdfPageText(path("every.pdf"), page));
        QVERIFY2(text.contains(QStringLiteral("グループ") + QChar('A' + page - 1)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("%1/8").arg(page)), qPrintable(text));
        QVERIFY2(text.contains("ステップ数80"), qPrintable(text));
        QVERIFY(!text.contains("省略"));
    }
    // The sheet is drawn, not made of pictures: a few hundred kilobytes for eight pages.
    QVERIFY2(QFileInfo(path("every.pdf")).size() < 1024 * 1024,
             qPrintable(QString::number(QFileInfo(path("every.pdf")).size())));
}

// On a server or over ssh there is no display: pdf draws off screen by itself, and the other
// sub-commands never start a window system at all, even one that would fail without a display.
void TestCliPdf::noDisplayNeeded_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // empty: none given
    QTest::newRow("pdf, no platform given") << QStringList{"pdf", "show-A.txt", "nodisplay.pdf"} << "";
    QTest::newRow("check, with a platform that needs a display")
        << QStringList{"check", "plain.txt"} << "xcb";
    QTest::newRow("show, with a platform that needs a display") << QStringList{"show", "show-A.txt"} << "xcb";
}

void TestCliPdf::noDisplayNeeded()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    if (!platform.isEmpty())
        environment.insert("QT_QPA_PLATFORM", platform);
    const Result result = run(arguments, environment);
    QCOMPARE(result.err, "");
    QCOMPARE(result.code, 0);
    if (arguments.first() == "pdf")
        QCOMPARE(pdfPageCount(path(arguments.last())), 2);
}

void TestCliPdf::refusals_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("err"); // "%1" stands for the test's folder

    // clang-format off
    QTest::newRow("no such file") << "missing.txt" << "out.pdf" << "「missing.txt」：ファイルが見つかりません。\n";
    QTest::newRow("a folder to read") << "folder" << "out.pdf" << "「folder」：パターンファイルではありません（通常のファイルではありません）。\n";
    QTest::newRow("a folder to write") << "show-A.txt" << "folder" << "「folder」：PDF を書き出せません（通常のファイルではありません）。\n";
    QTest::newRow("no folder to write in") << "show-A.txt" << "gone/out.pdf" << "「gone/out.pdf」：PDF を書き出せません（フォルダ「%1/gone」がありません）。\n";
    // clang-format on
}

// Exit status 1 and one line on standard error; no output file is made or changed.
void TestCliPdf::refusals()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, err);
    QVERIFY(QDir(m_dir.path()).mkpath("folder"));
    const Result result = run({"pdf", input, output});
    QCOMPARE(result.err, QString(err).replace("%1", m_dir.path()));
    QCOMPARE(result.out, "");
    QCOMPARE(result.code, 1);
    QVERIFY(!QFileInfo(path(output)).isFile());
}

void TestCliPdf::fullDiskKeepsOldFile()
{
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    QVERIFY(writeFile(disk.filePath("out.pdf"), "%PDF-1.4 old"));
    QVERIFY(disk.fillBlocks());
    const Result result = run({"pdf", "show-A.txt", disk.filePath("out.pdf")});
    QCOMPARE(result.code, 1);
    QVERIFY2(result.err.startsWith(QStringLiteral("「%1」：PDF を書き出せません（ディスクの空きが足りません")
                                       .arg(disk.filePath("out.pdf"))),
             qPrintable(result.err));
    QCOMPARE(readFile(disk.filePath("out.pdf")), "%PDF-1.4 old");
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers
}

void TestCliPdf::whatIsReplaced_data()
{
    QTest::addColumn<QString>("output");
    // What stands there first: "input" for in.txt itself (under the name given), "link" for a
    // link to in.txt, else the file's bytes; "(none)" for nothing.
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("err"); // "" when the PDF is written

    const QString sameFile =
        "「%1」：読み込むパターンファイルと同じファイルです。PDF はほかの名前で書き出してください。\n";
    const QString patternFileThere =
        "「%1」：パターンファイルです。PDF で置き換えるには --force を指定してください。\n";
    // clang-format off
    QTest::newRow("the input itself") << "in.txt" << QByteArray("input") << false << sameFile;
    QTest::newRow("the input by another path") << "./in.txt" << QByteArray("input") << false << sameFile;
    QTest::newRow("a link to the input") << "in-link.pdf" << QByteArray("link") << false << sameFile;
    QTest::newRow("the input, forced") << "in.txt" << QByteArray("input") << true << sameFile;
    // pdf IN1 IN2, as if it took several files: the second pattern file is not lost.
    QTest::newRow("another pattern file") << "other.txt" << patternFile({}, "12") << false << patternFileThere;
    QTest::newRow("a text file") << "notes.pdf" << QByteArray("meeting at ten\n") << false << "「%1」：PDF ではないファイルです。PDF で置き換えるには --force を指定してください。\n";
    QTest::newRow("another pattern file, forced") << "other.txt" << patternFile({}, "12") << true << "";
    QTest::newRow("a PDF") << "old.pdf" << QByteArray("%PDF-1.4\n%old\n") << false << "";
    QTest::newRow("an empty file") << "empty.pdf" << QByteArray("") << false << "";
    QTest::newRow("nothing") << "new.pdf" << QByteArray("(none)") << false << "";
    // clang-format on
}

// A PDF replaces a PDF, an empty file or nothing; never the pattern file it is drawn from, under
// any name, and another file only when told --force. A refused file keeps its bytes.
void TestCliPdf::whatIsReplaced()
{
    QFETCH(QString, output);
    QFETCH(QByteArray, existing);
    QFETCH(bool, force);
    QFETCH(QString, err);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray input = patternFile({{0, 0, "0"}}, "37");
    QVERIFY(writeFile(dir.filePath("in.txt"), input));
    if (existing == "link")
        QVERIFY(QFile::link("in.txt", dir.filePath(output)));
    else if (existing != "input" && existing != "(none)")
        QVERIFY(writeFile(dir.filePath(output), existing));
    const QByteArray before = readFile(dir.filePath(output));

    QProcess process;
    process.setWorkingDirectory(dir.path());
    QStringList arguments{"pdf", "in.txt", output};
    if (force)
        arguments << "--force";
    process.start(TRV_CLI, arguments);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), QString(err).replace("%1", output));
    QCOMPARE(process.exitCode(), err.isEmpty() ? 0 : 1);
    QCOMPARE(readFile(dir.filePath("in.txt")), input);
    if (err.isEmpty())
        QVERIFY(readFile(dir.filePath(output)).startsWith("%PDF-"));
    else
        QCOMPARE(readFile(dir.filePath(output)), before);
}

void TestCliPdf::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    // clang-format off
    QTest::newRow("no file") << QStringList{"pdf"} << "pdf にはパターンファイルを指定してください";
    QTest::newRow("no output") << QStringList{"pdf", "show-A.txt"} << "pdf には書き出す PDF ファイルを指定してください";
    QTest::newRow("three files") << QStringList{"pdf", "show-A.txt", "a.pdf", "b.pdf"} << "余分な引数「b.pdf」があります";
    QTest::newRow("a port") << QStringList{"pdf", "show-A.txt", "a.pdf", "--port", "COM3"} << "pdf には --port を指定できません";
    QTest::newRow("a group") << QStringList{"pdf", "show-A.txt", "a.pdf", "--group", "A"} << "pdf には --group を指定できません";
    QTest::newRow("force for check") << QStringList{"check", "show-A.txt", "--force"} << "check には --force を指定できません";
    // clang-format on
}

void TestCliPdf::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const Result result = run(arguments);
    QCOMPARE(result.err, "trv5kb: " + reason + "（使い方は trv5kb --help）\n");
    QCOMPARE(result.out, "");
    QCOMPARE(result.code, 2);
    QVERIFY(!QFile::exists(path("a.pdf")));
}

QTEST_GUILESS_MAIN(TestCliPdf)
#include "tst_clipdf.moc"
