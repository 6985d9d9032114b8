#include "ChartMenu.h"
#include "FormFixture.h"
#include "app/ChartGrid.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>

namespace {

using E = ElementCode;

constexpr QKeyCombination Copy = Qt::CTRL | Qt::Key_C;
constexpr QKeyCombination Paste = Qt::CTRL | Qt::Key_V;
constexpr QKeyCombination Undo = Qt::CTRL | Qt::Key_Z;

} // namespace

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selectionFramed();
    void selectionCleared_data();
    void selectionCleared();
    void selectionCopiedAndPastedOnAnotherGroup();
    void pasteTakesCaptions();
    void pasteRefusesBadField();
    void hugeClipboard_data();
    void hugeClipboard();
    void pasteWithoutPointerOnCell();
    void chartMenu();
    void wholeUnitCopies_data();
    void wholeUnitCopies();

private:
    QImage picture(const char* holder) const { return holderImage(*w->form, holder); }
    const E& data(int step, int channel) const { return w->form->document().PatternData().at(step, channel); }
    std::unique_ptr<StartedForm> w;
};

void TestClipboard::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
    setClipboardText({});
}

void TestClipboard::cleanup()
{
    w.reset();
}

void TestClipboard::selectionFramed()
{
    w->failTransfer();
    shiftClickCell(*w, 12);                                       // column 2, row 2
    QCOMPARE(w->lamp(), 0xFFFFFFu);                               // reset as any edit resets it
    QVERIFY(w->form->document().PatternData() == startUpChart()); // nothing edited
    const QRect cell12 = w->cell(12).geometry();
    QCOMPARE(selectionFrameShown(*w), cell12.adjusted(-2, -2, 2, 2));

    // Extending to a cell above and to the left frames the block between the two.
    shiftClickCell(*w, 1); // column 0, row 1
    QCOMPARE(selectionFrameShown(*w), w->cell(1).geometry().united(cell12).adjusted(-2, -2, 2, 2));
    QVERIFY(w->form->document().PatternData() == startUpChart());

    // The frame lies in front of the cells, but their pictures show through inside it.
    const QImage shot = w->form->grab().toImage();
    const QImage off = picture("OFF").convertToFormat(shot.format());
    QCOMPARE(shot.copy(w->cell(6).geometry()), off);
    QCOMPARE(shot.copy(cell12), off);
    QVERIFY(shot.pixelColor(cell12.bottomRight() + QPoint(1, 1)) == QColor(0xFF, 0x40, 0x00));
}

void TestClipboard::selectionCleared_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("edits"); // whether cell 12 took UP

    QTest::newRow("plain click") << "click" << true;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("other page") << "Command7" << false;
    QTest::newRow("group tab") << "Label2" << false;
    QTest::newRow("tab of the group shown") << "Label1" << false;
}

void TestClipboard::selectionCleared()
{
    QFETCH(QString, action);
    QFETCH(bool, edits);

    shiftClickCell(*w, 0);
    shiftClickCell(*w, 14);
    if (action == "click")
        w->clickCell(12);
    else if (action == "escape")
        pressKeys(*w, Qt::Key_Escape);
    else
        w->click(action);
    QCOMPARE(selectionFrameShown(*w), std::nullopt);
    QCOMPARE(data(2, 2) == E::number(0), edits);
    // With nothing selected there is nothing to copy.
    pressKeys(*w, Copy);
    QCOMPARE(clipboardText(), "");
}

void TestClipboard::selectionCopiedAndPastedOnAnotherGroup()
{
    w->load(patternFile({{0, 3, "0"}, {0, 4, "\":\""}, {1, 3, "9"}, {1, 4, "\"?\""}, {2, 4, "1"}}));
    shiftClickCell(*w, 3);  // step 1, CH4
    shiftClickCell(*w, 14); // step 3, CH5
    pressKeys(*w, Copy);
    QCOMPARE(clipboardText(), "0\t\":\"\n9\t\"?\"\n3\t1\n");

    // Onto group G, CH5 of step 40: the block runs on into group H's CH1 and onto steps 41
    // and 42 of the second page.
    w->click("Label7");
    w->pointAt(5 * 39 + 4);
    pressKeys(*w, Paste);
    QVERIFY(data(39, 34) == E::number(0));
    QVERIFY(data(39, 35) == E::text(":"));
    QVERIFY(data(40, 34) == E::number(9));
    QVERIFY(data(40, 35) == E::text("?"));
    QVERIFY(data(41, 34) == E::number(3));
    QVERIFY(data(41, 35) == E::number(1));
    QCOMPARE(shownImage(w->cell(5 * 39 + 4)), picture("UP"));
    QVERIFY(w->boxes.shown.isEmpty());

    // One step of the history: undone at once, from group A.
    w->click("Label1");
    pressKeys(*w, Undo);
    QCOMPARE(w->form->state().CurrentGroup, 6);
    QCOMPARE(w->form->state().CurrentPage, 0);
    QCOMPARE(shownImage(w->cell(5 * 39 + 4)), picture("OFF"));
    for (const ChartCell cell : {ChartCell{39, 34}, ChartCell{39, 35}, ChartCell{40, 34}, ChartCell{40, 35},
                                 ChartCell{41, 34}, ChartCell{41, 35}})
        QVERIFY(data(cell.step, cell.channel) == E::number(3));
    QVERIFY(data(0, 3) == E::number(0)); // the copied block stays
}

void TestClipboard::pasteTakesCaptions()
{
    setClipboardText("UP\tON-1/2\r\n\"?\"\tdown-h(1/4)\r\n");
    w->click("Command7");
    QVERIFY(chooseFromChartMenu(*w, 5, "貼り付け")); // step 42, CH1
    QVERIFY(data(41, 0) == E::number(0));
    QVERIFY(data(41, 1) == E::text(":"));
    QVERIFY(data(42, 0) == E::text("?"));
    QVERIFY(data(42, 1) == E::text(">"));
    QCOMPARE(shownImage(w->cell(5)), picture("UP"));
    QCOMPARE(shownImage(w->cell(6)), picture("ONHF"));
    QCOMPARE(shownImage(w->cell(10)), picture("DOWNQL"));
    QCOMPARE(shownImage(w->cell(11)), picture("DOWNQH"));
}

void TestClipboard::pasteRefusesBadField()
{
    setClipboardText("0\t0\t0\t0\t0\n3\t3\n0\t0\t0\t0\tXYZ\n");
    w->pointAt(0);
    pressKeys(*w, Paste);
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& box = w->boxes.shown.first();
    QCOMPARE(box.title, "貼り付け");
    QCOMPARE(box.text,
             "クリップボードの内容を貼り付けられません。\n3 行目の 5 番目の値「XYZ」は要素ではありません。");
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY(w->form->document().PatternData() == startUpChart());
    // Nothing to undo.
    QMenu* menu = openChartMenu(*w, 0);
    QVERIFY(!menuItem(menu, "元に戻す")->isEnabled());
    closeChartMenu(*w);
}

namespace {

// The chart's 80 steps of 40 channels, element (step + channel) % 16 in each,
// as a spreadsheet copies them: CR LF, the six characters bare.
QString wholeChart(const QString& beside = {})
{
    QString text;
    for (int step = 0; step < 80; ++step) {
        for (int channel = 0; channel < 40; ++channel)
            text += QChar('0' + (step + channel) % 16) + QString(channel < 39 ? "\t" : "");
        text += beside + "\r\n";
    }
    return text;
}

// `text` followed by `unit` again and again, cut to `size` characters.
QString padded(QString text, const QString& unit, qsizetype size)
{
    text += unit.repeated((size - text.size()) / unit.size() + 1);
    text.truncate(size);
    return text;
}

} // namespace

void TestClipboard::hugeClipboard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // none: the whole chart is pasted

    const QString tooLong =
        "テキストが 3,000,000 文字あり、チャートとしては長すぎます（1,048,576 文字まで）。";
    // clang-format off
    QTest::newRow("10 MB of elements") << padded({}, "0\t1\t2\t3\t4\n", 10485760) << "テキストが 10,485,760 文字あり、チャートとしては長すぎます（1,048,576 文字まで）。";
    QTest::newRow("chart, then megabytes of columns") << padded(wholeChart().chopped(2), "\t0", 3000000) << tooLong;
    QTest::newRow("chart, then megabytes of lines") << padded(wholeChart(), "0\r\n", 3000000) << tooLong;
    QTest::newRow("chart, then megabytes of one field") << padded(wholeChart(), "X", 3000000) << tooLong;
    QTest::newRow("chart, then a thousand lines") << wholeChart() + QString("0\r\n").repeated(1000) << "テキストが 1,080 行あり、チャートの 80 ステップに対して多すぎます（160 行まで）。";
    QTest::newRow("chart, then a line of a thousand fields") << wholeChart() + QString("\t").repeated(999) + "\r\n" << "81 行目に値が 1,000 個あり、チャートの 40 チャネルに対して多すぎます（80 個まで）。";
    // Notes beside and below the chart that cannot land, up to twice its size, do not count.
    QTest::newRow("chart, notes beside and below") << wholeChart(QString("\tメモ ").repeated(40)) + QString("合計\t\t\x01\r\n").repeated(80) + "\r\n\r\n" << "";
    // clang-format on
}

void TestClipboard::hugeClipboard()
{
    QFETCH(QString, text);
    QFETCH(QString, error);

    setClipboardText(text);
    text.clear();
    w->pointAt(0);
    pressKeys(*w, Paste);
    if (!error.isEmpty()) {
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown.first().title, "貼り付け");
        QCOMPARE(w->boxes.shown.first().text, "クリップボードの内容を貼り付けられません。\n" + error);
        QVERIFY(w->form->document().PatternData() == startUpChart());
        QMenu* menu = openChartMenu(*w, 0);
        QVERIFY(!menuItem(menu, "元に戻す")->isEnabled());
        closeChartMenu(*w);
        return;
    }
    QVERIFY(w->boxes.shown.isEmpty());
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            QVERIFY2(data(step, channel) == E::ofOrdinal((step + channel) % 16),
                     qPrintable(QString("step %1, channel %2").arg(step).arg(channel)));
    QCOMPARE(shownImage(w->cell(1)), picture("DOWN")); // step 1, CH2: element 1
    QCOMPARE(shownImage(w->cell(5)), picture("DOWN")); // step 2, CH1
    // One step of the history.
    pressKeys(*w, Undo);
    QVERIFY(w->form->document().PatternData() == startUpChart());
}

void TestClipboard::pasteWithoutPointerOnCell()
{
    setClipboardText("1\n");
    QTest::mouseMove(w->form.get(), QPoint(4, 4));
    pressKeys(*w, Paste);
    QVERIFY(w->form->document().PatternData() == startUpChart());

    // With a selection, at its first cell.
    shiftClickCell(*w, 199);
    shiftClickCell(*w, 193);
    QTest::mouseMove(w->form.get(), QPoint(4, 4));
    pressKeys(*w, Paste);
    QVERIFY(data(38, 3) == E::number(1));
}

void TestClipboard::chartMenu()
{
    // A right click opens the menu and edits nothing.
    QTest::mouseClick(w->chart(), Qt::RightButton, {}, w->cell(0).centre());
    QVERIFY(w->form->document().PatternData() == startUpChart());

    QMenu* menu = openChartMenu(*w, 5 * 11 + 2); // step 12, group A CH3
    QVERIFY(menu);
    const struct
    {
        const char* text;
        bool enabled;
    } expected[] = {
        {"元に戻す\tCtrl+Z", false},
        {"やり直し\tCtrl+Y", false},
        {"", false},
        {"コピー\tCtrl+C", false},
        {"貼り付け\tCtrl+V", false},
        {"", false},
        {"このチャネル（グループA の CH3）の80ステップをコピー", true},
        {"このステップ（12）の40チャネルをコピー", true},
        {"このグループ（グループA）の5チャネル×80ステップをコピー", true},
        {"", false},
        {"ステップ", true},
        {"グループ", true},
        {"", false},
        {"ファイルを開く…\tCtrl+O", true},
        {"最近使ったファイル", false},
        {"上書き保存\tCtrl+S", true},
        {"名前を付けて保存…\tCtrl+Shift+S", true},
        {"", false},
        {"PDFに書き出す…", true},
        {"印刷…\tCtrl+P", true},
        {"", false},
        {"前回終了時のチャートに戻す", false},
    };
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), int(std::size(expected)));
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i]->text(), QString::fromUtf8(expected[i].text));
        QCOMPARE(items[i]->isSeparator(), !*expected[i].text);
        if (!items[i]->isSeparator())
            QCOMPARE(items[i]->isEnabled(), expected[i].enabled);
    }
    closeChartMenu(*w);

    // Each item can act once there is something for it.
    w->clickCell(0);
    w->clickCell(5);
    pressKeys(*w, Undo);
    shiftClickCell(*w, 0);
    setClipboardText("0\n");
    menu = openChartMenu(*w, 0);
    for (const char* caption : {"元に戻す", "やり直し", "コピー", "貼り付け"})
        QVERIFY2(menuItem(menu, QString::fromUtf8(caption))->isEnabled(), caption);
    closeChartMenu(*w);

    // Undo and redo from the menu.
    QVERIFY(chooseFromChartMenu(*w, 0, "やり直し"));
    QVERIFY(data(1, 0) == E::number(0));
    QVERIFY(chooseFromChartMenu(*w, 0, "元に戻す"));
    QVERIFY(data(1, 0) == E::number(3));
    QVERIFY(chooseFromChartMenu(*w, 0, "コピー"));
    QCOMPARE(clipboardText(), "0\n");
}

void TestClipboard::wholeUnitCopies_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("fields");
    QTest::addColumn<QString>("first");

    // From the cell of step 42, group C CH2 (chart cell 41, 11), on the second page.
    // clang-format off
    QTest::newRow("channel") << "このチャネル（グループC の CH2）" << 80 << 1 << "2";
    QTest::newRow("step") << "このステップ（42）" << 1 << 40 << "3\t3\t3\t3\t3\t3\t3\t3\t3\t3\t3\t\"<\"\t3";
    QTest::newRow("group") << "このグループ（グループC）" << 80 << 5 << "3\t2\t3\t3\t3";
    // clang-format on
}

void TestClipboard::wholeUnitCopies()
{
    QFETCH(QString, caption);
    QFETCH(int, lines);
    QFETCH(int, fields);
    QFETCH(QString, first);

    w->load(patternFile({{0, 11, "2"}, {41, 11, "\"<\""}}));
    w->click("Label3");
    w->click("Command7");
    QVERIFY(chooseFromChartMenu(*w, 5 + 1, caption));
    const QStringList copied = clipboardText().split('\n');
    QCOMPARE(copied.size(), lines + 1);
    QCOMPARE(copied.last(), "");
    for (int line = 0; line < lines; ++line)
        QCOMPARE(copied[line].count('\t'), fields - 1);
    QVERIFY2(copied.first().startsWith(first), qPrintable(copied.first()));
}

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
