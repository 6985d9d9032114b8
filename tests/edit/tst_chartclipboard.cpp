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
    void bounds_data();
    void bounds();
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
    QTest::newRow("bad field") << "0\t0\t0\t0\t0\n3\t3\n0\t0\t0\t0\tXYZ\n" << QStringList{} << "3 行目の 5 番目の値「XYZ」は要素ではありません。";
    QTest::newRow("number outside the elements") << "10\n" << QStringList{} << "1 行目の 1 番目の値「10」は要素ではありません。";
    QTest::newRow("empty field") << "0\t\t1\n" << QStringList{} << "1 行目の 2 番目の値が空です。";
    QTest::newRow("empty line between") << "0\n\n1\n" << QStringList{} << "2 行目の 1 番目の値が空です。";
    QTest::newRow("long field shortened") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ" << QStringList{} << "1 行目の 1 番目の値「ABCDEFGHIJKLMNOPQRST…」は要素ではありません。";
    // Characters that would not show are written by their code.
    const auto bad = [](const QString& shown) { return "1 行目の 1 番目の値「" + shown + "」は要素ではありません。"; };
    QTest::newRow("NUL") << QString("A") + QChar(0) + "B" << QStringList{} << bad(R"(A\x00B)");
    QTest::newRow("NUL alone") << QString(QChar(0)) << QStringList{} << bad(R"(\x00)");
    QTest::newRow("controls and DEL") << "\x01\x1b[0m\x7f" << QStringList{} << bad(R"(\x01\x1B[0m\x7F)");
    QTest::newRow("vertical tab inside") << "A\vB" << QStringList{} << bad(R"(A\x0BB)");
    QTest::newRow("C1 control inside") << QString("A") + QChar(0x85) + "B" << QStringList{} << bad(R"(A\x85B)");
    QTest::newRow("change of writing direction") << QString("A") + QChar(0x202e) + "BC" << QStringList{} << bad(R"(A\u202EBC)");
    QTest::newRow("line separator") << QString("A") + QChar(0x2028) + "B" << QStringList{} << bad(R"(A\u2028B)");
    QTest::newRow("lone surrogate") << QString("A") + QChar(0xd800) + "B" << QStringList{} << bad(R"(A\uD800B)");
    QTest::newRow("pair kept as it is") << "A😀" << QStringList{} << bad("A😀");
    QTest::newRow("NULs cut after 20") << QString(25, QChar(0)) << QStringList{} << bad(QString(R"(\x00)").repeated(20) + "…");
    QTest::newRow("pair counted as one") << QString(19, 'A') + "😀B" << QStringList{} << bad(QString(19, 'A') + "😀…");
    QTest::newRow("blanks and line ends around not shown") << " \fA\x01 \n" << QStringList{} << bad(R"(A\x01)");
    // clang-format on
}

void TestChartClipboard::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QFETCH(QString, error);

    const Result<ClipboardRows> content = parseClipboardText(text);
    QCOMPARE(content.reason(), error);
    QCOMPARE(content ? linesOf(*content) : QStringList(), rows);
}

namespace {

// `lines` lines of `fields` fields each, all `value`, each line ended by `end`.
QString block(int lines, int fields, const QString& value, const QString& end = "\n")
{
    QStringList line(fields, value);
    return (line.join('\t') + end).repeated(lines);
}

} // namespace

void TestChartClipboard::bounds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ChartCell>("at");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("error");

    const QStringList none;
    const QString bad3 = "0\t1\t2\tX\n3\t4\t5\tY\nZ\n";
    // clang-format off
    QTest::newRow("1 MiB, a field with blanks") << "1" + QString(1048575, ' ') << ChartCell{0, 0} << QStringList{"1"} << "";
    QTest::newRow("1 MiB and one more") << "1" + QString(1048576, ' ') << ChartCell{0, 0} << none << "テキストが 1,048,577 文字あり、チャートとしては長すぎます（1,048,576 文字まで）。";
    QTest::newRow("10 MB, never read") << QString(10485760, 'X') << ChartCell{0, 0} << none << "テキストが 10,485,760 文字あり、チャートとしては長すぎます（1,048,576 文字まで）。";
    QTest::newRow("80 lines of 40 with CR LF") << block(80, 40, "\":\"", "\r\n") << ChartCell{0, 0} << QStringList(80, QString(40, ':')) << "";
    QTest::newRow("160 lines, 80 taken") << block(160, 1, "2") << ChartCell{0, 0} << QStringList(80, "2") << "";
    QTest::newRow("160 lines, 3 land") << block(160, 1, "2") << ChartCell{77, 39} << QStringList(3, "2") << "";
    QTest::newRow("161 lines") << block(161, 1, "2") << ChartCell{0, 0} << none << "テキストが 161 行あり、チャートの 80 ステップに対して多すぎます（160 行まで）。";
    QTest::newRow("161 lines, one empty") << block(80, 1, "2") + "\n" + block(80, 1, "2") << ChartCell{0, 0} << none << "テキストが 161 行あり、チャートの 80 ステップに対して多すぎます（160 行まで）。";
    QTest::newRow("line ends after the last do not count") << block(160, 1, "2") + QString("\r\n").repeated(10000) << ChartCell{0, 0} << QStringList(80, "2") << "";
    QTest::newRow("80 fields, 40 taken") << block(2, 80, "9") << ChartCell{0, 0} << QStringList(2, QString(40, '9')) << "";
    QTest::newRow("80 fields, 1 lands") << block(2, 80, "9") << ChartCell{0, 39} << QStringList(2, "9") << "";
    QTest::newRow("81 fields") << block(1, 2, "9") + block(1, 81, "9") << ChartCell{0, 0} << none << "2 行目に値が 81 個あり、チャートの 40 チャネルに対して多すぎます（80 個まで）。";
    QTest::newRow("81 fields on a line that cannot land") << block(159, 1, "9") + block(1, 81, "X") << ChartCell{79, 39} << none << "160 行目に値が 81 個あり、チャートの 40 チャネルに対して多すぎます（80 個まで）。";
    QTest::newRow("too many lines before too many fields") << block(1, 81, "9") + block(160, 1, "9") << ChartCell{0, 0} << none << "テキストが 161 行あり、チャートの 80 ステップに対して多すぎます（160 行まで）。";
    QTest::newRow("bad fields all land") << bad3 << ChartCell{0, 0} << none << "1 行目の 4 番目の値「X」は要素ではありません。";
    QTest::newRow("bad fields beyond the edges") << bad3 << ChartCell{78, 37} << QStringList{"012", "345"} << "";
    QTest::newRow("bad field beyond channel 40") << bad3 << ChartCell{0, 37} << none << "3 行目の 1 番目の値「Z」は要素ではありません。";
    QTest::newRow("bad line beyond step 80") << bad3 << ChartCell{78, 36} << none << "1 行目の 4 番目の値「X」は要素ではありません。";
    QTest::newRow("empty line beyond step 80") << "0\n\n1" << ChartCell{79, 0} << QStringList{"0"} << "";
    QTest::newRow("empty field beyond channel 40") << "0\t\t1\n" << ChartCell{0, 39} << QStringList{"0"} << "";
    // clang-format on
}

void TestChartClipboard::bounds()
{
    QFETCH(QString, text);
    QFETCH(ChartCell, at);
    QFETCH(QStringList, rows);
    QFETCH(QString, error);

    const Result<ClipboardRows> content = parseClipboardText(text, at);
    QCOMPARE(content.reason(), error);
    QCOMPARE(content ? linesOf(*content) : QStringList(), rows);
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
    const Result<ClipboardRows> content = parseClipboardText(text);
    QVERIFY(content.ok());
    QCOMPARE(content->size(), 80u);
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 5; ++channel) {
            const E& pasted = (*content)[std::size_t(step)][std::size_t(channel)];
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
