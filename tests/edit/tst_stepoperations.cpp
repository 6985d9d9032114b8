#include "edit/ChangePlace.h"
#include "edit/StepOperations.h"

#include <QTest>
#include <functional>

namespace {

using E = ElementCode;

// Cells written as text: from `step` of `channel` on, one character a step. "." is OFF, U UP,
// D DOWN, N ON, L UP-L, x an empty value and t the text "X" (two values that are no element).
// Every other cell of the chart is OFF.
struct Run
{
    int channel;
    int step;
    const char* cells;
};
using Runs = QList<Run>;

E valueOf(char c)
{
    switch (c) {
    case 'U':
        return E::number(0);
    case 'D':
        return E::number(1);
    case 'N':
        return E::number(2);
    case 'L':
        return E::number(4);
    case 'x':
        return E();
    case 't':
        return E::text("X");
    default:
        return E::number(3);
    }
}

PatternTable chartOf(const Runs& runs)
{
    PatternTable chart;
    chart.fillUsed(E::number(3));
    for (const Run& run : runs)
        for (int k = 0; run.cells[k]; ++k)
            chart.at(run.step + k, run.channel) = valueOf(run.cells[k]);
    return chart;
}

// The cells that differ between two charts, for a failure's message.
QString differences(const PatternTable& actual, const PatternTable& expected)
{
    QStringList cells;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            if (!(actual.at(step, channel) == expected.at(step, channel)))
                cells << QStringLiteral("step %1 channel %2: %3, expected %4")
                             .arg(step)
                             .arg(channel)
                             .arg(actual.at(step, channel).toText(), expected.at(step, channel).toText());
    return cells.join('\n');
}

// Steps `first` to `last` (from 0) of all 40 channels, or of channels `from` to `to`.
CellBlock steps(int first, int last)
{
    return {{first, 0}, {last, 39}};
}

CellBlock cells(int first, int last, int from, int to)
{
    return {{first, from}, {last, to}};
}

using Operation = std::function<Result<OperationResult>(const PatternTable&, qint16)>;

Operation inserting(CellBlock region)
{
    return [=](const PatternTable& chart, qint16 count) { return insertSteps(chart, count, region); };
}

Operation deleting(CellBlock region)
{
    return [=](const PatternTable& chart, qint16 count) { return deleteSteps(chart, count, region); };
}

Operation duplicating(CellBlock region)
{
    return [=](const PatternTable& chart, qint16 count) { return duplicateSteps(chart, count, region); };
}

Operation moving(CellBlock region, Side side)
{
    return [=](const PatternTable& chart, qint16 count) { return moveSteps(chart, count, region, side); };
}

Operation copying(int from, int to)
{
    return [=](const PatternTable& chart, qint16) { return copyGroup(chart, from, to); };
}

Operation swapping(int group, int other)
{
    return [=](const PatternTable& chart, qint16) { return swapGroups(chart, group, other); };
}

Operation clearing(int group)
{
    return [=](const PatternTable& chart, qint16) { return clearGroup(chart, group); };
}

Operation chasing(CellBlock region, char element, ChaseDirection direction)
{
    return
        [=](const PatternTable& chart, qint16) { return chase(chart, region, valueOf(element), direction); };
}

Operation reversing(CellBlock region)
{
    return [=](const PatternTable& chart, qint16) { return reverseSteps(chart, region); };
}

Operation rotating(CellBlock region, Side side)
{
    return [=](const PatternTable& chart, qint16) { return rotateSteps(chart, region, side); };
}

const CellBlock GroupA = CellBlock::wholeGroup(0);

} // namespace

Q_DECLARE_METATYPE(Runs)
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(CellBlock)

class TestStepOperations : public QObject
{
    Q_OBJECT

private slots:
    void operations_data();
    void operations();
    void places_data();
    void places();
    void regions();
};

void TestStepOperations::operations_data()
{
    QTest::addColumn<Runs>("before");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<Runs>("after");
    QTest::addColumn<int>("stepCountAfter");
    QTest::addColumn<int>("lostCells");
    QTest::addColumn<CellBlock>("region"); // where the region stands afterwards
    QTest::addColumn<QString>("refusal");  // how the reason begins; "" when it is done

    const Side left = Side::Left, right = Side::Right;
    const auto down = ChaseDirection::Downwards, up = ChaseDirection::Upwards;
    // clang-format off
    QTest::newRow("insert a step in use")
        << Runs{{0, 0, "UDN"}, {39, 0, "NNU"}} << 3 << inserting(steps(1, 1))
        << Runs{{0, 0, "U.DN"}, {39, 0, "N.NU"}} << 4 << 0 << steps(1, 1) << "";
    QTest::newRow("insert three steps, values that are no element move as they stand")
        << Runs{{0, 0, "UxtN"}} << 4 << inserting(steps(1, 3))
        << Runs{{0, 0, "U...xtN"}} << 7 << 0 << steps(1, 3) << "";
    QTest::newRow("insert in group B only: the other groups stay")
        << Runs{{0, 0, "UDN"}, {5, 0, "UDN"}} << 3 << inserting(cells(1, 1, 5, 9))
        << Runs{{0, 0, "UDN"}, {5, 0, "U.DN"}} << 4 << 0 << cells(1, 1, 5, 9) << "";
    QTest::newRow("insert right after the last step in use joins the show")
        << Runs{{0, 0, "UDNL"}} << 3 << inserting(steps(3, 3))
        << Runs{{0, 0, "UDN.L"}} << 4 << 0 << steps(3, 3) << "";
    QTest::newRow("insert further out keeps the count")
        << Runs{{0, 9, "UD"}} << 3 << inserting(steps(9, 9))
        << Runs{{0, 10, "UD"}} << 3 << 0 << steps(9, 9) << "";
    QTest::newRow("insert grows the count up to 80 only")
        << Runs{} << 79 << inserting(steps(10, 12))
        << Runs{} << 80 << 0 << steps(10, 12) << "";
    QTest::newRow("insert pushes cells past step 80; OFF ones do not count as lost")
        << Runs{{0, 76, "UD.N"}, {39, 79, "x"}} << 80 << inserting(steps(0, 1))
        << Runs{{0, 78, "UD"}} << 80 << 2 << steps(0, 1) << "";
    QTest::newRow("insert at step 80 loses what stood there")
        << Runs{{0, 79, "U"}, {39, 78, "DN"}} << 80 << inserting(steps(79, 79))
        << Runs{{39, 78, "D"}} << 80 << 2 << steps(79, 79) << "";
    QTest::newRow("insert of all 80 steps")
        << Runs{{0, 0, "UD"}, {7, 40, "N"}} << 2 << inserting(steps(0, 79))
        << Runs{} << 80 << 3 << steps(0, 79) << "";
    QTest::newRow("insert keeps a count outside 1 to 80")
        << Runs{{0, 0, "U"}} << 0 << inserting(steps(0, 0))
        << Runs{{0, 1, "U"}} << 0 << 0 << steps(0, 0) << "";

    QTest::newRow("delete a step in use")
        << Runs{{0, 0, "UDN"}, {39, 0, "LUD"}} << 3 << deleting(steps(1, 1))
        << Runs{{0, 0, "UN"}, {39, 0, "LD"}} << 2 << 0 << steps(1, 1) << "";
    QTest::newRow("delete steps partly beyond the count: only those in use count")
        << Runs{{0, 0, "UDNLU"}} << 2 << deleting(steps(1, 3))
        << Runs{{0, 0, "UU"}} << 1 << 0 << steps(1, 3) << "";
    QTest::newRow("delete beyond the count keeps it")
        << Runs{{0, 0, "UDNLUD"}} << 2 << deleting(steps(3, 4))
        << Runs{{0, 0, "UDND"}} << 2 << 0 << steps(3, 4) << "";
    QTest::newRow("delete fills the end with OFF")
        << Runs{{0, 78, "UD"}} << 80 << deleting(steps(0, 0))
        << Runs{{0, 77, "UD"}} << 79 << 0 << steps(0, 0) << "";
    QTest::newRow("delete of the whole chart leaves one OFF step")
        << Runs{{0, 0, "UDN"}, {20, 79, "L"}} << 3 << deleting(steps(0, 79))
        << Runs{} << 1 << 0 << steps(0, 79) << "";
    QTest::newRow("delete of the only step in use keeps one")
        << Runs{{0, 0, "UD"}} << 1 << deleting(steps(0, 0))
        << Runs{{0, 0, "D"}} << 1 << 0 << steps(0, 0) << "";
    QTest::newRow("delete in group A only keeps the count for the others")
        << Runs{{0, 0, "UDN"}, {5, 0, "UDN"}} << 3 << deleting(cells(0, 0, 0, 4))
        << Runs{{0, 0, "DN"}, {5, 0, "UDN"}} << 3 << 0 << cells(0, 0, 0, 4) << "";

    QTest::newRow("duplicate a step")
        << Runs{{0, 0, "UDN"}} << 3 << duplicating(steps(1, 1))
        << Runs{{0, 0, "UDDN"}} << 4 << 0 << steps(2, 2) << "";
    QTest::newRow("duplicate the last step in use lengthens the show")
        << Runs{{0, 0, "UDN"}} << 3 << duplicating(steps(2, 2))
        << Runs{{0, 0, "UDNN"}} << 4 << 0 << steps(3, 3) << "";
    QTest::newRow("duplicate a block")
        << Runs{{0, 0, "UDNL"}} << 4 << duplicating(steps(0, 1))
        << Runs{{0, 0, "UDUDNL"}} << 6 << 0 << steps(2, 3) << "";
    QTest::newRow("duplicate beyond the count keeps it")
        << Runs{{0, 0, "UDN"}} << 2 << duplicating(steps(2, 2))
        << Runs{{0, 0, "UDNN"}} << 2 << 0 << steps(3, 3) << "";
    QTest::newRow("duplicate in channel A1 only")
        << Runs{{0, 0, "UD"}, {5, 0, "NL"}} << 2 << duplicating(cells(0, 0, 0, 0))
        << Runs{{0, 0, "UUD"}, {5, 0, "NL"}} << 3 << 0 << cells(1, 1, 0, 0) << "";
    QTest::newRow("duplicate cut at step 80: only the steps after it are lost")
        << Runs{{0, 77, "UDN"}} << 80 << duplicating(steps(77, 78))
        << Runs{{0, 77, "UDU"}} << 80 << 1 << steps(79, 79) << "";
    QTest::newRow("duplicate at step 80 has no room")
        << Runs{{0, 79, "U"}} << 80 << duplicating(steps(79, 79))
        << Runs{{0, 79, "U"}} << 80 << 0 << steps(79, 79) << "ステップ80の後ろには";

    QTest::newRow("move a step left")
        << Runs{{0, 0, "UDN"}} << 3 << moving(steps(1, 1), left)
        << Runs{{0, 0, "DUN"}} << 3 << 0 << steps(0, 0) << "";
    QTest::newRow("move a block right")
        << Runs{{0, 0, "UDNL"}} << 4 << moving(steps(0, 1), right)
        << Runs{{0, 0, "NUDL"}} << 4 << 0 << steps(1, 2) << "";
    QTest::newRow("move in channel A1 only")
        << Runs{{0, 0, "UD"}, {5, 0, "NL"}} << 2 << moving(cells(1, 1, 0, 0), left)
        << Runs{{0, 0, "DU"}, {5, 0, "NL"}} << 2 << 0 << cells(0, 0, 0, 0) << "";
    QTest::newRow("move left of step 1")
        << Runs{{0, 0, "UD"}} << 2 << moving(steps(0, 1), left)
        << Runs{{0, 0, "UD"}} << 2 << 0 << steps(0, 1) << "ステップ1より左へは";
    QTest::newRow("move right of the last step in use")
        << Runs{{0, 0, "UDN"}} << 3 << moving(steps(2, 2), right)
        << Runs{{0, 0, "UDN"}} << 3 << 0 << steps(2, 2) << "ステップ3より右へは移動できません（ステップ数 3）";
    QTest::newRow("move right of step 80")
        << Runs{{0, 79, "U"}} << 80 << moving(steps(79, 79), right)
        << Runs{{0, 79, "U"}} << 80 << 0 << steps(79, 79) << "ステップ80より右へは";
    QTest::newRow("move into the steps in use from after them")
        << Runs{{0, 0, "UDNL"}} << 3 << moving(steps(3, 3), left)
        << Runs{{0, 0, "UDNL"}} << 3 << 0 << steps(3, 3) << "ステップ4より左へは移動できません（ステップ数 3）";
    QTest::newRow("move after the steps in use, within the chart")
        << Runs{{0, 5, "UD"}} << 3 << moving(steps(5, 5), right)
        << Runs{{0, 5, "DU"}} << 3 << 0 << steps(6, 6) << "";
    QTest::newRow("move a block that spans the end of the steps in use")
        << Runs{{0, 0, "UDNL"}} << 3 << moving(steps(2, 3), right)
        << Runs{{0, 0, "UD.NL"}} << 3 << 0 << steps(3, 4) << "";
    QTest::newRow("move right with a count outside 1 to 80")
        << Runs{{0, 0, "UD"}} << 81 << moving(steps(0, 0), right)
        << Runs{{0, 0, "DU"}} << 81 << 0 << steps(1, 1) << "";

    QTest::newRow("copy group A to B, all 80 steps")
        << Runs{{0, 0, "UD"}, {4, 79, "N"}, {6, 3, "L"}} << 12 << copying(0, 1)
        << Runs{{0, 0, "UD"}, {4, 79, "N"}, {5, 0, "UD"}, {9, 79, "N"}} << 12 << 0 << CellBlock::wholeGroup(1) << "";
    QTest::newRow("copy group H to A")
        << Runs{{39, 40, "UxL"}, {1, 1, "D"}} << 80 << copying(7, 0)
        << Runs{{39, 40, "UxL"}, {4, 40, "UxL"}} << 80 << 0 << GroupA << "";
    QTest::newRow("copy a group onto itself")
        << Runs{{0, 0, "U"}} << 80 << copying(2, 2)
        << Runs{{0, 0, "U"}} << 80 << 0 << CellBlock::wholeGroup(2) << "グループCをグループC自身へは";
    QTest::newRow("swap groups A and H")
        << Runs{{0, 0, "UD"}, {39, 79, "N"}, {10, 5, "L"}} << 80 << swapping(0, 7)
        << Runs{{35, 0, "UD"}, {4, 79, "N"}, {10, 5, "L"}} << 80 << 0 << CellBlock::wholeGroup(7) << "";
    QTest::newRow("swap a group with itself")
        << Runs{{0, 0, "U"}} << 80 << swapping(1, 1)
        << Runs{{0, 0, "U"}} << 80 << 0 << CellBlock::wholeGroup(1) << "グループBをグループB自身とは";
    QTest::newRow("clear group C, also beyond the count")
        << Runs{{10, 0, "UDtx"}, {14, 79, "N"}, {9, 0, "L"}, {15, 0, "L"}} << 4 << clearing(2)
        << Runs{{9, 0, "L"}, {15, 0, "L"}} << 4 << 0 << CellBlock::wholeGroup(2) << "";

    QTest::newRow("chase downwards through group A, round again")
        << Runs{{0, 0, "DDDDDDDD"}, {2, 0, "UU"}, {5, 0, "L"}} << 80 << chasing(cells(0, 6, 0, 4), 'N', down)
        << Runs{{0, 0, "N....N.D"}, {1, 0, ".N....N"}, {2, 0, "..N"}, {3, 0, "...N"}, {4, 0, "....N"}, {5, 0, "L"}}
        << 80 << 0 << cells(0, 6, 0, 4) << "";
    QTest::newRow("chase upwards through three channels")
        << Runs{} << 80 << chasing(cells(2, 5, 5, 7), 'U', up)
        << Runs{{7, 2, "U..U"}, {6, 2, ".U"}, {5, 2, "..U"}} << 80 << 0 << cells(2, 5, 5, 7) << "";
    QTest::newRow("chase in one channel lights every step")
        << Runs{{0, 0, "DUDU"}} << 80 << chasing(cells(0, 2, 0, 0), 'L', up)
        << Runs{{0, 0, "LLLU"}} << 80 << 0 << cells(0, 2, 0, 0) << "";

    QTest::newRow("reverse four steps")
        << Runs{{0, 0, "UDNL"}, {1, 0, "xt"}} << 80 << reversing(steps(0, 3))
        << Runs{{0, 0, "LNDU"}, {1, 2, "tx"}} << 80 << 0 << steps(0, 3) << "";
    QTest::newRow("reverse three steps of one channel")
        << Runs{{0, 0, "UDNL"}, {1, 0, "UDNL"}} << 80 << reversing(cells(1, 3, 0, 0))
        << Runs{{0, 0, "ULND"}, {1, 0, "UDNL"}} << 80 << 0 << cells(1, 3, 0, 0) << "";
    QTest::newRow("rotate left")
        << Runs{{0, 0, "UDNLD"}} << 80 << rotating(steps(0, 3), left)
        << Runs{{0, 0, "DNLUD"}} << 80 << 0 << steps(0, 3) << "";
    QTest::newRow("rotate right")
        << Runs{{0, 0, "UDNLD"}} << 80 << rotating(steps(0, 3), right)
        << Runs{{0, 0, "LUDND"}} << 80 << 0 << steps(0, 3) << "";
    QTest::newRow("rotate right up to step 80")
        << Runs{{3, 77, "UDN"}} << 80 << rotating(cells(77, 79, 3, 3), right)
        << Runs{{3, 77, "NUD"}} << 80 << 0 << cells(77, 79, 3, 3) << "";
    QTest::newRow("a region outside the chart")
        << Runs{} << 80 << inserting(steps(79, 80))
        << Runs{} << 80 << 0 << steps(79, 80) << "範囲がチャートの外です";
    // clang-format on
}

// Each operation gives the chart and the step count expected once its change is carried out,
// and the inverse of the change gives back the chart and the count it started from. A refused
// operation changes nothing.
void TestStepOperations::operations()
{
    QFETCH(Runs, before);
    QFETCH(int, stepCount);
    QFETCH(Operation, operation);
    QFETCH(Runs, after);
    QFETCH(int, stepCountAfter);
    QFETCH(int, lostCells);
    QFETCH(CellBlock, region);
    QFETCH(QString, refusal);

    const PatternTable chart = chartOf(before);
    const Result<OperationResult> carried = operation(chart, qint16(stepCount));
    QCOMPARE(carried.ok(), refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QVERIFY2(carried.reason().startsWith(refusal), qPrintable(carried.reason()));
        return;
    }
    const OperationResult& result = *carried;
    QCOMPARE(result.lostCells, lostCells);
    QCOMPARE(result.region, region);

    PatternTable changed = chart;
    qint16 count = qint16(stepCount);
    result.change.applyTo(changed, count);
    const PatternTable expected = chartOf(after);
    QVERIFY2(changed == expected, qPrintable(differences(changed, expected)));
    QCOMPARE(count, stepCountAfter);
    // Nothing but what changes goes into the history.
    for (const CellEdit& edit : result.change.cells)
        QVERIFY(!(edit.before == edit.after));

    result.change.inverse().applyTo(changed, count);
    QVERIFY2(changed == chart, qPrintable(differences(changed, chart)));
    QCOMPARE(count, stepCount);
}

void TestStepOperations::places_data()
{
    QTest::addColumn<CellBlock>("region");
    QTest::addColumn<QString>("words");

    QTest::newRow("a whole step") << steps(9, 9) << "全チャンネル ステップ10";
    QTest::newRow("whole steps") << steps(0, 79) << "全チャンネル ステップ1～80";
    QTest::newRow("a group") << cells(9, 11, 5, 9) << "グループB CH1～5 ステップ10～12";
    QTest::newRow("one cell") << cells(40, 40, 12, 12) << "グループC CH3 ステップ41";
    QTest::newRow("across groups") << cells(2, 2, 3, 6) << "グループA CH4～グループB CH2 ステップ3";
}

// The words a screen reader says for where an operation acted.
void TestStepOperations::places()
{
    QFETCH(CellBlock, region);
    QFETCH(QString, words);
    QCOMPARE(place(region), words);
}

// Without a selection a step operation takes the cursor's whole step, a chase the shown group
// over the steps in use; a selection is taken as it is.
void TestStepOperations::regions()
{
    const CellBlock selection = cells(3, 5, 7, 8);
    QCOMPARE(stepRegion(selection, {30, 4}), selection);
    QCOMPARE(stepRegion(std::nullopt, {30, 4}), steps(30, 30));
    QCOMPARE(blockRegion(selection, 2, 12), selection);
    QCOMPARE(blockRegion(std::nullopt, 2, 12), cells(0, 11, 10, 14));
    QCOMPARE(blockRegion(std::nullopt, 7, 0), cells(0, 79, 35, 39));

    QCOMPARE(insertSteps(chartOf({}), 80, steps(9, 11))->spoken(),
             "ステップを挿入：全チャンネル ステップ10～12");
    QCOMPARE(copyGroup(chartOf({}), 0, 3)->spoken(), "グループをコピー：グループAをグループDへ");
}

QTEST_GUILESS_MAIN(TestStepOperations)
#include "tst_stepoperations.moc"
