#include "app/ChartGeometry.h"

#include <QTest>

char* toString(const RectPt& r)
{
    return QTest::toString(
        QStringLiteral("(%1, %2, %3 x %4)").arg(r.left).arg(r.top).arg(r.width).arg(r.height));
}

// Where the end marker stands, in points, for each step count and page.
class TestChartGeometry : public QObject
{
    Q_OBJECT

private slots:
    void endMarker_data();
    void endMarker();
};

void TestChartGeometry::endMarker_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("page");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");

    QTest::newRow("80 on page 0") << 80 << 0 << 522.0 << 0.75;
    QTest::newRow("40 on page 0") << 40 << 0 << 522.0 << 0.75;
    QTest::newRow("10 on page 0") << 10 << 0 << 162.0 << 360.75;
    QTest::newRow("1 on page 0") << 1 << 0 << 54.0 << 468.75;
    QTest::newRow("12 on page 0") << 12 << 0 << 186.0 << 336.75;
    QTest::newRow("30 on page 0") << 30 << 0 << 402.0 << 120.75;
    QTest::newRow("80 on page 1") << 80 << 1 << 522.0 << 0.75;
    QTest::newRow("50 on page 1") << 50 << 1 << 162.0 << 360.75;
    QTest::newRow("41 on page 1") << 41 << 1 << 54.0 << 468.75;
    QTest::newRow("40 on page 1") << 40 << 1 << 42.0 << 480.75;
    QTest::newRow("0 on page 0") << 0 << 0 << 522.0 << 0.75;
    QTest::newRow("0 on page 1") << 0 << 1 << 42.0 << 480.75;
    QTest::newRow("-5 on page 0") << -5 << 0 << 522.0 << 0.75;
    QTest::newRow("81 on page 0") << 81 << 0 << 522.0 << 0.75;
    QTest::newRow("81 on page 1") << 81 << 1 << 42.0 << 480.75;
    QTest::newRow("32767 on page 1") << 32767 << 1 << 42.0 << 480.75;
}

void TestChartGeometry::endMarker()
{
    QFETCH(int, stepCount);
    QFETCH(int, page);
    QFETCH(double, left);
    QFETCH(double, width);
    QCOMPARE(ChartGeometry::endMarker(page, stepCount), (RectPt{left, 72, width, 72.75}));
}

QTEST_APPLESS_MAIN(TestChartGeometry)
#include "tst_chartgeometry.moc"
