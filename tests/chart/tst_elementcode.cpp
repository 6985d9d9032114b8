#include "chart/ElementCode.h"
#include "chart/ElementTable.h"

#include <QTest>

Q_DECLARE_METATYPE(ElementCode)

class TestElementCode : public QObject
{
    Q_OBJECT

private slots:
    void equality_data();
    void equality();
    void elementForms_data();
    void elementForms();
    void otherValues_data();
    void otherValues();
};

void TestElementCode::equality_data()
{
    QTest::addColumn<ElementCode>("a");
    QTest::addColumn<ElementCode>("b");
    QTest::addColumn<bool>("equal");

    using E = ElementCode;
    QTest::newRow("same number") << E::number(3) << E::number(3) << true;
    QTest::newRow("floating 3 equals OFF") << E::number(3.0) << E::ofOrdinal(3) << true;
    QTest::newRow("numbers by value") << E::number(2) << E::number(3) << false;
    QTest::newRow("number 3 vs text 3") << E::number(3) << E::text("3") << false;
    QTest::newRow("number 10 vs colon") << E::number(10) << E::text(":") << false;
    QTest::newRow("same text") << E::text(":") << E::text(":") << true;
    QTest::newRow("texts by characters") << E::text(":") << E::text(";") << false;
    QTest::newRow("longer text") << E::text("::") << E::text(":") << false;
    QTest::newRow("empty vs zero") << E() << E::number(0) << false;
    QTest::newRow("empty vs empty text") << E() << E::text("") << false;
    QTest::newRow("empty vs empty") << E() << E() << true;
    QTest::newRow("3.5 vs 3") << E::number(3.5) << E::number(3) << false;
}

void TestElementCode::equality()
{
    QFETCH(ElementCode, a);
    QFETCH(ElementCode, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
}

void TestElementCode::elementForms_data()
{
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("holder");

    const char* captions[] = {"UP",        "DOWN",      "ON",          "OFF",        "UP-L",   "UP-H",
                              "DOWN-H",    "DOWN-L",    "ON-OFF",      "OFF-ON",     "ON-1/2", "ON-1/4",
                              "UP-L(1/4)", "UP-H(1/4)", "DOWN-H(1/4)", "DOWN-L(1/4)"};
    const char* holders[] = {"UP",    "DOWN",  "ON_",  "OFF",  "UPLM", "UPMH", "DOWNHM", "DOWNML",
                             "ONOFF", "OFFON", "ONHF", "ONQT", "UPQL", "UPQH", "DOWNQH", "DOWNQL"};
    const char* texts = "0123456789:;<=>?";
    for (int i = 0; i < 16; ++i)
        // clang-format off
        QTest::addRow("%s", captions[i]) << i << (i < 10) << QString(QChar(texts[i])) << captions[i] << holders[i];
    // clang-format on
}

void TestElementCode::elementForms()
{
    QFETCH(int, ordinal);
    QFETCH(bool, isNumber);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QFETCH(QString, holder);

    const ElementCode code = ElementCode::ofOrdinal(ordinal);
    QCOMPARE(code.isNumber(), isNumber);
    QCOMPARE(code.isText(), !isNumber);
    QCOMPARE(code.toText(), text);
    QCOMPARE(code.ordinal(), std::optional<int>(ordinal));
    const ElementRow& row = ElementTable[std::size_t(ordinal)];
    QCOMPARE(row.ordinal, ordinal);
    QCOMPARE(QString(row.caption), caption);
    QCOMPARE(QString(row.holder), holder);
    QVERIFY(row.code() == code);
}

void TestElementCode::otherValues_data()
{
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ordinal"); // -1: matches no element

    using E = ElementCode;
    QTest::newRow("number 10") << E::number(10) << "10" << -1;
    QTest::newRow("number -1") << E::number(-1) << "-1" << -1;
    QTest::newRow("number 3.5") << E::number(3.5) << "3.5" << -1;
    QTest::newRow("floating 7") << E::number(7.0) << "7" << 7;
    QTest::newRow("negative zero") << E::number(-0.0) << "0" << 0;
    QTest::newRow("large number") << E::number(1e20) << "1e+20" << -1;
    QTest::newRow("text digit") << E::text("3") << "3" << -1;
    QTest::newRow("text @") << E::text("@") << "@" << -1;
    QTest::newRow("text 9 before colon") << E::text("9") << "9" << -1;
    QTest::newRow("long text") << E::text("abc") << "abc" << -1;
    QTest::newRow("empty text") << E::text("") << "" << -1;
    QTest::newRow("empty") << E() << "" << -1;
}

void TestElementCode::otherValues()
{
    QFETCH(ElementCode, value);
    QFETCH(QString, text);
    QFETCH(int, ordinal);
    QCOMPARE(value.toText(), text);
    QCOMPARE(value.ordinal(), ordinal < 0 ? std::nullopt : std::optional<int>(ordinal));
}

QTEST_APPLESS_MAIN(TestElementCode)
#include "tst_elementcode.moc"
