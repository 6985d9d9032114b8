#include "chart/CellMapping.h"
#include "chart/EndMarker.h"
#include "chart/PatternTable.h"

#include <QTest>
#include <stdexcept>

class TestChartGeometry : public QObject
{
    Q_OBJECT

private slots:
    void cellMapping_data();
    void cellMapping();
    void cellNotVisible();
    void endMarker_data();
    void endMarker();
    void tableBounds();
};

void TestChartGeometry::cellMapping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");

    QTest::newRow("first member, page 0, group A") << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("index 0, page 1, group C") << 0 << 1 << 2 << 40 << 10;
    QTest::newRow("index 199, page 0, group H") << 199 << 0 << 7 << 39 << 39;
    QTest::newRow("index 199, page 1, group H") << 199 << 1 << 7 << 79 << 39;
    QTest::newRow("index 4 is the bottom row") << 4 << 0 << 0 << 0 << 4;
    QTest::newRow("index 5 starts column 1") << 5 << 0 << 0 << 1 << 0;
    QTest::newRow("index 7, page 1, group D") << 7 << 1 << 3 << 41 << 17;
}

void TestChartGeometry::cellMapping()
{
    QFETCH(int, index);
    QFETCH(int, page);
    QFETCH(int, group);
    QFETCH(int, step);
    QFETCH(int, channel);

    QCOMPARE(cellOfGridIndex(index, page, group), (ChartCell{step, channel}));
    QCOMPARE(gridIndexOfCell({step, channel}, page, group), std::optional<int>(index));
}

void TestChartGeometry::cellNotVisible()
{
    QCOMPARE(gridIndexOfCell({40, 0}, 0, 0), std::nullopt); // second page
    QCOMPARE(gridIndexOfCell({39, 5}, 0, 0), std::nullopt); // group B
    QCOMPARE(gridIndexOfCell({0, 39}, 0, 6), std::nullopt); // group H while G shown
    QCOMPARE(gridIndexOfCell({39, 4}, 1, 0), std::nullopt); // first page while second shown
}

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
    QCOMPARE(endMarkerPlacement(page, stepCount), (MarkerPlacement{left, width}));
}

void TestChartGeometry::tableBounds()
{
    PatternTable table;
    QVERIFY(table.at(80, 40).isEmpty()); // the spare row and column exist
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, table.at(81, 0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, table.at(0, 41));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, table.at(-1, 0));
}

QTEST_APPLESS_MAIN(TestChartGeometry)
#include "tst_chartgeometry.moc"
