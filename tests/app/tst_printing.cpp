#include "ChartMenu.h"
#include "PdfReader.h"

#include <QDate>
#include <QDir>
#include <QTest>

namespace {

using Kind = ScriptedFileDialogs::Kind;

QString flat(QString text)
{
    return text.remove(' ');
}

} // namespace

// The chart in use on paper from the window: exported as a PDF through the
// chart menu, printed through the print dialog (Ctrl+P or the menu) into a
// PDF file, each read with poppler's tools.
class TestPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sheetOfTheChartInUse_data();
    void sheetOfTheChartInUse();
    void cancelled();
    void exportRefused();
    void exportOverAnotherKind_data();
    void exportOverAnotherKind();

private:
    QString path(const QString& name) const { return m_work->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<StartedForm> w;
};

void TestPrinting::initTestCase()
{
    if (const QString missing = pdfToolsMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestPrinting::init()
{
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
}

void TestPrinting::cleanup()
{
    w.reset();
    m_work.reset();
}

void TestPrinting::sheetOfTheChartInUse_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("opened"); // the chart opened from show-A.txt, else the start-up chart
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("header");

    // clang-format off
    QTest::newRow("PDF of an opened chart") << "PDFに書き出す…" << true << 2 << "show-A.txt";
    QTest::newRow("PDF of a chart never saved") << "PDFに書き出す…" << false << 1 << "（保存されていないチャート）";
    QTest::newRow("printed from the menu") << "印刷…" << true << 2 << "show-A.txt";
    QTest::newRow("printed with Ctrl+P") << "Ctrl+P" << false << 1 << "（保存されていないチャート）";
    // clang-format on
}

void TestPrinting::sheetOfTheChartInUse()
{
    QFETCH(QString, how);
    QFETCH(bool, opened);
    QFETCH(int, pages);
    QFETCH(QString, header);
    if (opened) {
        // UP on A1 of step 1 and ON-1/2 on C3 of step 2: groups A and C have a page.
        QVERIFY(writeFile(path("show-A.txt"), patternFile({{0, 0, "0"}, {1, 12, "\":\""}}, "37")));
        w->dialogs.answers = {path("show-A.txt")};
        pressKeys(*w, Qt::CTRL | Qt::Key_O);
    }
    w->dialogs.asked.clear();
    const QString out = path("sheet.pdf");
    if (how == "PDFに書き出す…") {
        w->dialogs.answers = {out};
        QVERIFY(chooseFromChartMenu(*w, 0, how));
        QCOMPARE(w->dialogs.asked.size(), 1);
        const ScriptedFileDialogs::Asked asked = w->dialogs.asked.first();
        QCOMPARE(asked.kind, Kind::Save);
        QCOMPARE(asked.request.title, "PDFに書き出す");
        QCOMPARE(asked.request.name, opened ? "show-A.pdf" : "チャート.pdf");
        QCOMPARE(asked.request.filters, QStringList({"PDF ファイル (*.pdf)", "すべてのファイル (*)"}));
        QCOMPARE(asked.request.suffix, "pdf");
    } else {
        w->dialogs.printInto = out;
        if (how == "Ctrl+P")
            pressKeys(*w, Qt::CTRL | Qt::Key_P);
        else
            QVERIFY(chooseFromChartMenu(*w, 0, how));
        QCOMPARE(w->dialogs.asked.size(), 1);
        QCOMPARE(w->dialogs.asked.first().kind, Kind::Print);
        QCOMPARE(w->dialogs.asked.first().pages, pages);
    }
    QVERIFY(w->boxes.shown.isEmpty());

    QCOMPARE(pdfPageCount(out), pages);
    const QString first = flat(pdfPageText(out, 1));
    for (const QString& expected : {header, QStringLiteral("グループA"),
                                    opened ? QStringLiteral("ステップ数37") : QStringLiteral("ステップ数80"),
                                    QDate::currentDate().toString("yyyy-MM-dd"),
                                    QStringLiteral("1/%1").arg(pages), QStringLiteral("DOWN-L(1/4)")})
        QVERIFY2(first.contains(flat(expected)), qPrintable(expected + " not in:\n" + first));
    if (pages == 2)
        QVERIFY(flat(pdfPageText(out, 2)).contains("グループC"));
    else
        QVERIFY2(
            first.contains("グループB、グループC、グループD、グループE、グループF、グループG、グループH"),
            qPrintable(first));
}

void TestPrinting::cancelled()
{
    QVERIFY(chooseFromChartMenu(*w, 0, "PDFに書き出す…"));
    pressKeys(*w, Qt::CTRL | Qt::Key_P);
    QCOMPARE(w->dialogs.asked.size(), 2);
    QVERIFY(w->boxes.shown.isEmpty());
    QVERIFY(QDir(m_work->path()).entryList(QDir::Files).isEmpty());
}

// Written as every file is: a folder in the way is refused and stays, and the user is told.
void TestPrinting::exportRefused()
{
    QVERIFY(QDir(m_work->path()).mkdir("sheet.pdf"));
    w->dialogs.answers = {path("sheet.pdf")};
    QVERIFY(chooseFromChartMenu(*w, 0, "PDFに書き出す…"));
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& report = w->boxes.shown.first();
    QCOMPARE(report.title, "PDFに書き出す");
    QCOMPARE(report.text,
             "「sheet.pdf」：PDF を書き出せません（通常のファイルではありません）。\n" + path("sheet.pdf"));
    QCOMPARE(report.icon, QMessageBox::Warning);
    QVERIFY(QFileInfo(path("sheet.pdf")).isDir());
}

void TestPrinting::exportOverAnotherKind_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("kind"); // what the question names; "" when nothing is asked
    QTest::addColumn<QMessageBox::StandardButton>("answer");

    // clang-format off
    QTest::newRow("pattern file, kept") << "パターン２.txt" << patternFile({}, "12") << "パターンファイル" << QMessageBox::No;
    QTest::newRow("pattern file, replaced") << "パターン２.txt" << patternFile({}, "12") << "パターンファイル" << QMessageBox::Yes;
    QTest::newRow("a text that is no PDF") << "notes.pdf" << QByteArray("meeting at ten\n") << "PDF ではないファイル" << QMessageBox::No;
    QTest::newRow("an older PDF") << "sheet.pdf" << QByteArray("%PDF-1.4\n%old\n") << "" << QMessageBox::NoButton;
    // clang-format on
}

// The dialog's question names no kind of file: over one that is no PDF the window asks again,
// naming what the file is, with No as the default; No leaves the file as it was.
void TestPrinting::exportOverAnotherKind()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);
    QFETCH(QString, kind);
    QFETCH(QMessageBox::StandardButton, answer);
    QVERIFY(writeFile(path(name), existing));
    w->dialogs.answers = {path(name)};
    w->boxes.answers = {answer};
    QVERIFY(chooseFromChartMenu(*w, 0, "PDFに書き出す…"));
    if (kind.isEmpty()) {
        QVERIFY(w->boxes.shown.isEmpty());
    } else {
        QCOMPARE(w->boxes.shown.size(), 1);
        const MessageRequest& question = w->boxes.shown.first();
        QCOMPARE(question.title, "PDFに書き出す");
        QCOMPARE(question.text,
                 QStringLiteral("「%1」は%2です。PDF で置き換えると、今の中身は失われます。置き換えますか？")
                     .arg(name, kind));
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.defaultButton, QMessageBox::No);
    }
    if (answer == QMessageBox::No)
        QCOMPARE(readFile(path(name)), existing);
    else
        QVERIFY(readFile(path(name)).startsWith("%PDF-"));
}

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
