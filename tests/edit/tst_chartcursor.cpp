#include "edit/ChartCursor.h"

#include <QTest>

Q_DECLARE_METATYPE(CursorMove)

class TestChartCursor : public QObject
{
    Q_OBJECT

private slots:
    void moves_data();
    void moves();
};

void TestChartCursor::moves_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::addColumn<CursorMove>("move");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("toStep"); // -1: the cursor cannot go there
    QTest::addColumn<int>("toChannel");

    using M = CursorMove;
    // clang-format off
    QTest::newRow("right") << 4 << 2 << M::Right << 80 << 5 << 2;
    QTest::newRow("right from step 40 onto page 2") << 39 << 2 << M::Right << 80 << 40 << 2;
    QTest::newRow("right past the step count") << 20 << 2 << M::Right << 12 << 21 << 2;
    QTest::newRow("right at step 80") << 79 << 2 << M::Right << 80 << -1 << -1;
    QTest::newRow("left from step 41 onto page 1") << 40 << 7 << M::Left << 80 << 39 << 7;
    QTest::newRow("left at step 1") << 0 << 7 << M::Left << 80 << -1 << -1;
    QTest::newRow("down within the group") << 3 << 8 << M::Down << 80 << 3 << 9;
    QTest::newRow("down at CH5 stays in the group") << 3 << 9 << M::Down << 80 << -1 << -1;
    QTest::newRow("down at CH5 of group H") << 3 << 39 << M::Down << 80 << -1 << -1;
    QTest::newRow("up at CH1 stays in the group") << 3 << 10 << M::Up << 80 << -1 << -1;
    QTest::newRow("up") << 3 << 11 << M::Up << 80 << 3 << 10;
    QTest::newRow("home from page 2") << 57 << 11 << M::FirstStep << 80 << 0 << 11;
    QTest::newRow("end, 80 steps") << 3 << 11 << M::LastStep << 80 << 79 << 11;
    QTest::newRow("end, 45 steps") << 3 << 11 << M::LastStep << 45 << 44 << 11;
    QTest::newRow("end, 12 steps, from beyond") << 50 << 11 << M::LastStep << 12 << 11 << 11;
    QTest::newRow("end, 1 step") << 50 << 0 << M::LastStep << 1 << 0 << 0;
    QTest::newRow("home at step 1 stays") << 0 << 4 << M::FirstStep << 80 << 0 << 4;
    QTest::newRow("page down keeps column: step 5 to 45") << 4 << 3 << M::NextPage << 80 << 44 << 3;
    QTest::newRow("page down on page 2") << 44 << 3 << M::NextPage << 80 << -1 << -1;
    QTest::newRow("page up keeps column") << 79 << 3 << M::PreviousPage << 80 << 39 << 3;
    QTest::newRow("page up on page 1") << 39 << 3 << M::PreviousPage << 80 << -1 << -1;
    QTest::newRow("next group keeps step and row") << 12 << 2 << M::NextGroup << 80 << 12 << 7;
    QTest::newRow("next group after H") << 12 << 37 << M::NextGroup << 80 << -1 << -1;
    QTest::newRow("previous group") << 12 << 37 << M::PreviousGroup << 80 << 12 << 32;
    QTest::newRow("previous group before A") << 12 << 4 << M::PreviousGroup << 80 << -1 << -1;
    // clang-format on
}

void TestChartCursor::moves()
{
    QFETCH(int, step);
    QFETCH(int, channel);
    QFETCH(CursorMove, move);
    QFETCH(int, stepCount);
    QFETCH(int, toStep);
    QFETCH(int, toChannel);

    const std::optional<ChartCell> expected =
        toStep < 0 ? std::nullopt : std::optional<ChartCell>(ChartCell{toStep, toChannel});
    QCOMPARE(cursorTarget({step, channel}, move, stepCount), expected);
}

QTEST_APPLESS_MAIN(TestChartCursor)
#include "tst_chartcursor.moc"
