#include "files/PatternFile.h"

#include "ChartText.h"

#include <QTest>

Q_DECLARE_METATYPE(ElementCode)

namespace {

// Pieces of the start-up chart's file, written out by hand: a whole step
// line (OffLine), a line after its first field and a line before its last field.
const QByteArray& offLine = OffLine;
const QByteArray offTail =
    ",3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3\r\n";
const QByteArray offHead = "3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,3,";

// A file of the standard layout with the start-up chart, except for its
// first field and its step count.
QByteArray standardFile(const QByteArray& firstField, const QByteArray& stepCount = "80",
                        const QByteArray& lineEnd = "\r\n")
{
    QByteArray bytes = firstField + offTail;
    bytes += offLine.repeated(79);
    bytes += stepCount + "\r\n";
    bytes.replace("\r\n", lineEnd);
    return bytes;
}

} // namespace

class TestPatternFormat : public QObject
{
    Q_OBJECT

private slots:
    void writer_data();
    void writer();
    void reader_data();
    void reader();
    void readerErrors_data();
    void readerErrors();
    void roundTrip_data();
    void roundTrip();
};

void TestPatternFormat::writer_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("size");

    using E = ElementCode;
    const QByteArray offBody = offLine.repeated(80);
    // clang-format off
    QTest::newRow("start-up chart") << 0 << 0 << E::number(3) << 80 << offBody + "80\r\n" << 6484;
    QTest::newRow("colon at step 1 channel 1") << 0 << 0 << E::text(":") << 80 << "\":\"" + offTail + offLine.repeated(79) + "80\r\n" << 6486;
    QTest::newRow("question mark at step 80 channel 40") << 79 << 39 << E::text("?") << 80 << offLine.repeated(79) + offHead + "\"?\"\r\n80\r\n" << 6486;
    QTest::newRow("digit at step 80 channel 40") << 79 << 39 << E::number(9) << 80 << offLine.repeated(79) + offHead + "9\r\n80\r\n" << 6484;
    QTest::newRow("step count 7") << 0 << 0 << E::number(3) << 7 << offBody + "7\r\n" << 6483;
    QTest::newRow("negative step count") << 0 << 0 << E::number(3) << -1 << offBody + "-1\r\n" << 6484;
    QTest::newRow("number 10") << 0 << 0 << E::number(10) << 80 << "10" + offTail + offLine.repeated(79) + "80\r\n" << 6485;
    QTest::newRow("number 100000 in plain decimal") << 0 << 0 << E::number(100000) << 80 << "100000" + offTail + offLine.repeated(79) + "80\r\n" << 6489;
    QTest::newRow("number 3.5") << 0 << 0 << E::number(3.5) << 80 << "3.5" + offTail + offLine.repeated(79) + "80\r\n" << 6486;
    QTest::newRow("text 3 stays quoted") << 0 << 0 << E::text("3") << 80 << "\"3\"" + offTail + offLine.repeated(79) + "80\r\n" << 6486;
    QTest::newRow("empty value") << 0 << 0 << E() << 80 << offTail + offLine.repeated(79) + "80\r\n" << 6483;
    // clang-format on
}

void TestPatternFormat::writer()
{
    QFETCH(int, step);
    QFETCH(int, channel);
    QFETCH(ElementCode, value);
    QFETCH(int, stepCount);
    QFETCH(QByteArray, expected);
    QFETCH(int, size);

    PatternTable chart = startUpChart();
    chart.at(step, channel) = value;
    const QByteArray bytes = formatPatternFile(chart, qint16(stepCount));
    QCOMPARE(bytes, expected);
    QCOMPARE(bytes.size(), size);
}

void TestPatternFormat::reader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ElementCode>("first");
    QTest::addColumn<int>("stepCount");

    using E = ElementCode;
    // clang-format off
    QTest::newRow("standard layout") << standardFile("3") << E::number(3) << 80;
    QTest::newRow("all fields on one line") << QByteArray("3,").repeated(3200) + "80" << E::number(3) << 80;
    QTest::newRow("LF line ends") << standardFile("3", "80", "\n") << E::number(3) << 80;
    QTest::newRow("CR line ends") << standardFile("3", "80", "\r") << E::number(3) << 80;
    QTest::newRow("no final line end") << standardFile("3").chopped(2) << E::number(3) << 80;
    QTest::newRow("trailing blank lines") << standardFile("3") + "\r\n \r\n\n" << E::number(3) << 80;
    QTest::newRow("blank line between steps") << "3" + offTail + "\r\n" + offLine.repeated(79) + "80\r\n" << E::number(3) << 80;
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + standardFile("2") << E::number(2) << 80;
    QTest::newRow("3.0 is a number") << standardFile("3.0") << E::number(3) << 80;
    QTest::newRow("blanks around a number") << standardFile(" \t3 ") << E::number(3) << 80;
    QTest::newRow("negative number") << standardFile("-1") << E::number(-1) << 80;
    QTest::newRow("exponent form") << standardFile("1e1") << E::number(10) << 80;
    QTest::newRow("number 10") << standardFile("10") << E::number(10) << 80;
    QTest::newRow("quoted colon") << standardFile("\":\"") << E::text(":") << 80;
    QTest::newRow("blanks around quotes") << standardFile(" \":\" ") << E::text(":") << 80;
    QTest::newRow("quoted digit is a text") << standardFile("\"3\"") << E::text("3") << 80;
    QTest::newRow("quoted comma") << standardFile("\"a,b\"") << E::text("a,b") << 80;
    QTest::newRow("quoted blanks kept") << standardFile("\" x \"") << E::text(" x ") << 80;
    QTest::newRow("empty quotes") << standardFile("\"\"") << E::text("") << 80;
    QTest::newRow("unquoted text") << standardFile("abc") << E::text("abc") << 80;
    QTest::newRow("unquoted text trimmed") << standardFile(" a b ") << E::text("a b") << 80;
    QTest::newRow("inf is a text") << standardFile("inf") << E::text("inf") << 80;
    QTest::newRow("empty field") << standardFile("") << E() << 80;
    QTest::newRow("longest field") << standardFile(QByteArray(64, 'a')) << E::text(QString(64, 'a')) << 80;
    QTest::newRow("step count 1") << standardFile("3", "1") << E::number(3) << 1;
    QTest::newRow("step count 80.0") << standardFile("3", "80.0") << E::number(3) << 80;
    QTest::newRow("step count 1e1") << standardFile("3", "1e1") << E::number(3) << 10;
    QTest::newRow("step count with blanks") << standardFile("3", " 7 ") << E::number(3) << 7;
    QTest::newRow("step count 0 as it stands") << standardFile("3", "0") << E::number(3) << 0;
    QTest::newRow("step count 200 as it stands") << standardFile("3", "200") << E::number(3) << 200;
    QTest::newRow("step count -32768") << standardFile("3", "-32768") << E::number(3) << -32768;
    QTest::newRow("step count 32767") << standardFile("3", "32767") << E::number(3) << 32767;
    QTest::newRow("quoted step count") << standardFile("3", "\"80\"") << E::number(3) << 80;
    QTest::newRow("values after the step count are not read") << standardFile("3") + "3\r\n\"x" << E::number(3) << 80;
    QTest::newRow("comma after step count") << standardFile("3", "80,") << E::number(3) << 80;
    QTest::newRow("padded to the size limit") << standardFile("3") + QByteArray(262144 - 6484, ' ') << E::number(3) << 80;
    // Nothing after the step count is looked at: a memo in any encoding, stray bytes, any length.
    QTest::newRow("Shift-JIS memo after the step count") << standardFile("3") + "\x83\x81\x83\x82\x81\x46\x8E\xE5\x89\x89\r\n" << E::number(3) << 80;
    QTest::newRow("UTF-8 memo after a comma on the step count's line") << standardFile("3", "80,\xE3\x83\xA1\xE3\x83\xA2") << E::number(3) << 80;
    QTest::newRow("control bytes after the step count") << standardFile("3") + QByteArray("\0\x1A\xFF\f", 4) << E::number(3) << 80;
    QTest::newRow("memo running past the size limit") << standardFile("3") + QByteArray(300000, '\x82') << E::number(3) << 80;
    // clang-format on
}

void TestPatternFormat::reader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ElementCode, first);
    QFETCH(int, stepCount);

    const Result<PatternFileContent> result = parsePatternFile(bytes);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    PatternFileContent expected{startUpChart(), qint16(stepCount)};
    expected.chart.at(0, 0) = first;
    QVERIFY(*result == expected);
}

void TestPatternFormat::readerErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");

    const QString tooFew = "ファイルが壊れています（値が足りません）。";
    const QString badStepCount = "ファイルが壊れています（ステップ数が正しくありません）。";
    // The line and the field within the line of the first byte that is no text.
    const QString notText =
        "パターンファイルではありません（%1 行目の %2 番目の値に文字でないデータがあります）。";
    // clang-format off
    QTest::newRow("empty file") << QByteArray() << "ファイルが空です。";
    QTest::newRow("blank lines only") << QByteArray(" \r\n\r\n") << "ファイルが空です。";
    QTest::newRow("no step count") << offLine.repeated(80) << tooFew;
    QTest::newRow("one line short") << offLine.repeated(79) + "80\r\n" << tooFew;
    QTest::newRow("step count abc") << standardFile("3", "abc") << badStepCount;
    QTest::newRow("step count 1.5") << standardFile("3", "1.5") << badStepCount;
    QTest::newRow("step count 40000") << standardFile("3", "40000") << badStepCount;
    QTest::newRow("step count -32769") << standardFile("3", "-32769") << badStepCount;
    QTest::newRow("quoted step count abc") << standardFile("3", "\"abc\"") << badStepCount;
    QTest::newRow("empty step count") << standardFile("3", "80").replace("\r\n80", ",") << badStepCount;
    QTest::newRow("unterminated quote") << standardFile("\":") << "ファイルが壊れています（1 行目の引用符が閉じていません）。";
    QTest::newRow("unterminated quote at the end") << standardFile("3", "\"80").chopped(2) << "ファイルが壊れています（81 行目の引用符が閉じていません）。";
    QTest::newRow("text after a closing quote") << standardFile("\":\"x") << "ファイルが壊れています（1 行目の引用符の位置が正しくありません）。";
    QTest::newRow("quote inside a field") << standardFile("a\"b") << "ファイルが壊れています（1 行目の引用符の位置が正しくありません）。";
    QTest::newRow("field too long") << standardFile(QByteArray(65, '7')) << "ファイルが壊れています（1 行目に長すぎる値があります）。";
    QTest::newRow("quoted field too long") << standardFile('"' + QByteArray(65, 'a') + '"') << "ファイルが壊れています（1 行目に長すぎる値があります）。";
    QTest::newRow("NUL bytes") << standardFile(QByteArray("3\0\0", 3)) << notText.arg(1).arg(1);
    QTest::newRow("byte 0x80") << standardFile("\x80") << notText.arg(1).arg(1);
    QTest::newRow("form feed") << standardFile("\f3") << notText.arg(1).arg(1);
    QTest::newRow("Shift-JIS in a quoted field") << standardFile("\"\x83\x81\"") << notText.arg(1).arg(1);
    QTest::newRow("non-ASCII byte in the step count") << standardFile("3", "8\xA0") << notText.arg(81).arg(1);
    QTest::newRow("control byte in the last chart field") << standardFile("3").replace("3\r\n80\r\n", "\x7F\r\n80\r\n") << notText.arg(80).arg(40);
    QTest::newRow("NUL in the third field of step 7") << offLine.repeated(6) + QByteArray("3,3,3\0", 6) + offTail.sliced(4) + offLine.repeated(73) + "80\r\n" << notText.arg(7).arg(3);
    QTest::newRow("empty fields count") << standardFile("3").replace(0, 5, ",,\"\x82\xa0\"") << notText.arg(1).arg(3);
    QTest::newRow("blank line before the step") << "\r\n\r\n" + standardFile("3").replace(2, 1, "\x1B") << notText.arg(3).arg(2);
    QTest::newRow("LF line ends") << standardFile("3", "80", "\n").replace(80 * 4, 1, "\xFF") << notText.arg(5).arg(1);
    QTest::newRow("CR line ends") << standardFile("3", "80", "\r").replace(80 * 4 + 2, 1, "\xFF") << notText.arg(5).arg(2);
    QTest::newRow("45th field of a single line") << QByteArray("3,").repeated(44) + "\x01," + QByteArray("3,").repeated(3155) + "80" << notText.arg(1).arg(45);
    QTest::newRow("after a byte-order mark") << "\xEF\xBB\xBF" + standardFile("\x80") << notText.arg(1).arg(1);
    QTest::newRow("fields running past the size limit") << QByteArray(262144, ' ') + standardFile("3") << "パターンファイルではありません（大きすぎます）。";
    // The file is cut after the 8 of the step count.
    QTest::newRow("step count cut by the size limit") << standardFile("3", QByteArray(262144 - 6481, ' ') + "80") << "パターンファイルではありません（大きすぎます）。";
    QTest::newRow("endless line") << QByteArray(1 << 20, '3') << "パターンファイルではありません（大きすぎます）。";
    // clang-format on
}

void TestPatternFormat::readerErrors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);

    const Result<PatternFileContent> result = parsePatternFile(bytes);
    QVERIFY(!result.ok());
    QCOMPARE(result.reason(), error);
}

void TestPatternFormat::roundTrip_data()
{
    QTest::addColumn<int>("stepCount");

    for (const int stepCount : {80, 1, 7, 0, -32768, 32767})
        QTest::addRow("step count %d", stepCount) << stepCount;
}

void TestPatternFormat::roundTrip()
{
    QFETCH(int, stepCount);

    // Every element in every group on both pages, then values that only a
    // hand-edited file brings in.
    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = ElementCode::ofOrdinal((step + channel) % 16);
    using E = ElementCode;
    const ElementCode odd[] = {E::number(10),    E::number(3.5),    E::number(-2),  E::number(1e20),
                               E::number(0.1),   E::text("@"),      E::text("3"),   E::text("a,b"),
                               E::text(" x "),   E::text(""),       E::text("\tx"), E(),
                               E::number(1e300), E::number(-1e-300)};
    for (int i = 0; i < int(std::size(odd)); ++i)
        chart.at(41 + i, 5 * (i % 8) + 4) = odd[i];

    const Result<PatternFileContent> result = parsePatternFile(formatPatternFile(chart, qint16(stepCount)));
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(int(result->stepCount), stepCount);
    for (int step = 0; step < 81; ++step)
        for (int channel = 0; channel < 41; ++channel) {
            QVERIFY2(result->chart.at(step, channel) == chart.at(step, channel),
                     qPrintable(QStringLiteral("step %1 channel %2").arg(step).arg(channel)));
        }
}

QTEST_GUILESS_MAIN(TestPatternFormat)
#include "tst_patternformat.moc"
