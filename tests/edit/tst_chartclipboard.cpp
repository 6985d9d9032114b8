#include "edit/ChartClipboard.h"

#include <QTest>

Q_DECLARE_METATYPE(ElementCode)
Q_DECLARE_METATYPE(CellBlock)
Q_DECLARE_METATYPE(ChartCell)

namespace {

using E = ElementCode;
using Rows = std::vector<std::vector<E>>;

// Rows written as lines of elements in their text form: "0:3" is UP, ON-1/2, OFF.
Rows rowsOf(const QStringList& lines)
{
    Rows rows;
    for (const QString& line : lines) {
        std::vector<E>& row = rows.emplace_back();
        for (const QChar c : line)
            row.push_back(E::ofOrdinal(c.unicode() - '0'));
    }
    return rows;
}

QStringList linesOf(const Rows& rows)
{
    QStringList lines;
    for (const std::vector<E>& row : rows) {
        QString line;
        for (const E& value : row)
            line += value.ordinal() ? QChar('0' + *value.ordinal()) : QChar('!');
        lines << line;
    }
    return lines;
}

PatternTable offChart()
{
    PatternTable chart;
    chart.fillUsed(E::number(3));
    return chart;
}

} // namespace

class TestChartClipboard : public QObject
{
    Q_OBJECT

private slots:
    void copiedText_data();
    void copiedText();
    void field_data();
    void field();
    void parse_data();
    void parse();
    void copyPastesBack();
    void paste_data();
    void paste();
};

void TestChartClipboard::copiedText_data()
{
    QTest::addColumn<CellBlock>("block");
    QTest::addColumn<QString>("text");

    // clang-format off
    QTest::newRow("one cell") << CellBlock::spanning({0, 0}, {0, 0}) << "0\n";
    QTest::newRow("corners given backwards") << CellBlock::spanning({1, 2}, {0, 0}) << "0\t1\t2\n\"<\"\t\":\"\t3\n";
    QTest::newRow("values that are no element") << CellBlock::spanning({5, 0}, {5, 3}) << "10\t\"A B\"\t\t3\n";
    // clang-format on
}

void TestChartClipboard::copiedText()
{
    QFETCH(CellBlock, block);
    QFETCH(QString, text);

    PatternTable chart = offChart();
    chart.at(0, 0) = E::number(0);
    chart.at(0, 1) = E::number(1);
    chart.at(0, 2) = E::number(2);
    chart.at(1, 0) = E::text("<");
    chart.at(1, 1) = E::text(":");
    chart.at(5, 0) = E::number(10);
    chart.at(5, 1) = E::text("A\tB"); // a tab would split the field
    chart.at(5, 2) = E();
    QCOMPARE(clipboardText(chart, block), text);
}

void TestChartClipboard::field_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("ordinal"); // -1: no element

    // clang-format off
    QTest::newRow("digit") << "3" << 3;
    QTest::newRow("digit with blanks") << " 0 " << 0;
    QTest::newRow("quoted as the pattern file writes it") << "\":\"" << 10;
    QTest::newRow("bare, as a spreadsheet copies it") << "?" << 15;
    QTest::newRow("tripled quotes") << "\"\"\">\"\"\"" << 14;
    QTest::newRow("caption") << "UP" << 0;
    QTest::newRow("caption with a slash") << "ON-1/2" << 10;
    QTest::newRow("caption in other case") << "down-l(1/4)" << 15;
    QTest::newRow("caption UP-L") << "UP-L" << 4;
    QTest::newRow("two digits") << "10" << -1;
    QTest::newRow("quoted digit is a text") << "\"3\"" << -1;
    QTest::newRow("letter") << "A" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("two characters quoted") << "\":;\"" << -1;
    QTest::newRow("caption with more") << "UPX" << -1;
    QTest::newRow("full-width digit") << "３" << -1;
    // clang-format on
}

void TestChartClipboard::field()
{
    QFETCH(QString, field);
    QFETCH(int, ordinal);

    const std::optional<E> element = clipboardElement(field);
    if (ordinal < 0) {
        QVERIFY(!element);
        return;
    }
    QVERIFY(element);
    QVERIFY(*element == E::ofOrdinal(ordinal));
    QCOMPARE(element->kind(), ordinal < 10 ? E::Kind::Number : E::Kind::Text);
}

void TestChartClipboard::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("error");

    // clang-format off
    QTest::newRow("lines ended by LF") << "0\t1\n2\t3\n" << QStringList{"01", "23"} << "";
    QTest::newRow("CR LF, no end after the last") << "0\t\":\"\r\nUP\tON-1/2" << QStringList{"0:", "0:"} << "";
    QTest::newRow("CR, trailing line ends") << "3\r4\r\r\n\n" << QStringList{"3", "4"} << "";
    QTest::newRow("lines of different length") << "0\n1\t2\t3\n" << QStringList{"0", "123"} << "";
    QTest::newRow("only line ends") << "\n\r\n" << QStringList{} << "";
    QTest::newRow("bad field") << "0\t0\t0\t0\t0\n3\t3\n0\t0\t0\t0\tXYZ\n" << QStringList{}
                               << "3 行目の 5 番目の値「XYZ」は要素ではありません。";
    QTest::newRow("number outside the elements") << "10\n" << QStringList{} << "1 行目の 1 番目の値「10」は要素ではありません。";
    QTest::newRow("empty field") << "0\t\t1\n" << QStringList{} << "1 行目の 2 番目の値が空です。";
    QTest::newRow("empty line between") << "0\n\n1\n" << QStringList{} << "2 行目の 1 番目の値が空です。";
    QTest::newRow("long field shortened") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ" << QStringList{}
                                          << "1 行目の 1 番目の値「ABCDEFGHIJKLMNOPQRST…」は要素ではありません。";
    // clang-format on
}

void TestChartClipboard::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QFETCH(QString, error);

    const ClipboardContent content = parseClipboardText(text);
    QCOMPARE(content.error, error);
    QCOMPARE(linesOf(content.rows), rows);
}

void TestChartClipboard::copyPastesBack()
{
    // A whole group, every element in it, copied and parsed back: the same values of the same kinds.
    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = E::ofOrdinal((step + channel) % 16);
    const QString text = clipboardText(chart, CellBlock::wholeGroup(2));
    QCOMPARE(text.count('\n'), 80);
    // Step 1, channels 11 to 15 (from 0: step 0, channels 10 to 14).
    QCOMPARE(text.section('\n', 0, 0), "\":\"\t\";\"\t\"<\"\t\"=\"\t\">\"");
    const ClipboardContent content = parseClipboardText(text);
    QVERIFY(content.ok());
    QCOMPARE(content.rows.size(), 80u);
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 5; ++channel) {
            const E& pasted = content.rows[std::size_t(step)][std::size_t(channel)];
            QVERIFY(pasted == chart.at(step, 10 + channel));
            QCOMPARE(pasted.kind(), chart.at(step, 10 + channel).kind());
        }
    QCOMPARE(clipboardText(chart, CellBlock::wholeChannel(39)).count('\n'), 80);
    QCOMPARE(clipboardText(chart, CellBlock::wholeStep(79)).count('\t'), 39);
}

void TestChartClipboard::paste_data()
{
    QTest::addColumn<ChartCell>("at");
    QTest::addColumn<int>("steps"); // of the block pasted
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("written");
    QTest::addColumn<ChartCell>("last");

    // clang-format off
    QTest::newRow("inside the chart") << ChartCell{10, 10} << 3 << 4 << 12 << ChartCell{12, 13};
    QTest::newRow("on into the next group") << ChartCell{0, 3} << 2 << 5 << 10 << ChartCell{1, 7};
    QTest::newRow("cut off at step 80") << ChartCell{78, 0} << 5 << 2 << 4 << ChartCell{79, 1};
    QTest::newRow("cut off at channel 40") << ChartCell{0, 38} << 2 << 5 << 4 << ChartCell{1, 39};
    QTest::newRow("cut off at both") << ChartCell{79, 39} << 80 << 40 << 1 << ChartCell{79, 39};
    // clang-format on
}

void TestChartClipboard::paste()
{
    QFETCH(ChartCell, at);
    QFETCH(int, steps);
    QFETCH(int, channels);
    QFETCH(int, written);
    QFETCH(ChartCell, last);

    PatternTable chart = offChart();
    chart.at(at.step, at.channel) = E::text("AB");
    Rows rows;
    for (int step = 0; step < steps; ++step) {
        std::vector<E>& row = rows.emplace_back();
        for (int channel = 0; channel < channels; ++channel)
            row.push_back(E::ofOrdinal((step + channel) % 16));
    }
    const ChartChange change = pasteChange(chart, at, rows);
    QVERIFY(!change.stepCount);
    QCOMPARE(int(change.cells.size()), written);
    QCOMPARE(change.firstCell(), at);
    QVERIFY(change.cells.front().before == E::text("AB"));
    QCOMPARE(change.cells.back().cell, last);
    for (const CellEdit& edit : change.cells) {
        const int step = edit.cell.step - at.step, channel = edit.cell.channel - at.channel;
        QVERIFY(edit.after == rows[std::size_t(step)][std::size_t(channel)]);
        QVERIFY(edit.cell.step < 80 && edit.cell.channel < 40);
    }
    // Lines of different length paste as far as each goes.
    const ChartChange ragged = pasteChange(chart, {0, 0}, rowsOf({"0", "123"}));
    QCOMPARE(ragged.cells.size(), 4u);
    QCOMPARE(ragged.cells.back().cell, (ChartCell{1, 2}));
}

QTEST_APPLESS_MAIN(TestChartClipboard)
#include "tst_chartclipboard.moc"
