#include "edit/CellClick.h"
#include "edit/ChartChange.h"
#include "edit/ChartClipboard.h"
#include "edit/Choices.h"
#include "edit/Palette.h"

#include <QTest>

Q_DECLARE_METATYPE(ElementCode)
Q_DECLARE_METATYPE(EditingMode)

namespace {

using E = ElementCode;

// A chart with every element in many places, and three values that are no element.
PatternTable mixedChart()
{
    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = E::ofOrdinal((7 * step + 3 * channel) % 16);
    chart.at(2, 3) = E::number(10);
    chart.at(41, 39) = E::text("AB");
    chart.at(79, 0) = E();
    return chart;
}

} // namespace

class TestChartChange : public QObject
{
    Q_OBJECT

private slots:
    void cellClick_data();
    void cellClick();
    void batchFill_data();
    void batchFill();
    void stepCountPick_data();
    void stepCountPick();
    void load();
    void inverseGivesChartBack_data();
    void inverseGivesChartBack();
};

void TestChartChange::cellClick_data()
{
    QTest::addColumn<EditingMode>("mode");
    QTest::addColumn<ElementCode>("held");     // the clicked cell's value
    QTest::addColumn<ElementCode>("selected"); // the same-pattern element
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("writes");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::addColumn<ElementCode>("after");

    const auto normal = EditingMode::Normal, same = EditingMode::SamePattern, batch = EditingMode::Batch;
    // clang-format off
    QTest::newRow("normal: OFF to UP") << normal << E::number(3) << E::number(0) << 80 << 0 << 0 << 0 << true << 0 << 0 << E::number(0);
    QTest::newRow("normal: ON to OFF") << normal << E::number(2) << E::number(0) << 80 << 0 << 0 << 199 << true << 39 << 4 << E::number(3);
    QTest::newRow("normal: UP-L outside the cycle") << normal << E::number(4) << E::number(0) << 80 << 0 << 0 << 0 << false << 0 << 0 << E();
    QTest::newRow("normal: text 3 is not OFF") << normal << E::text("3") << E::number(0) << 80 << 0 << 0 << 0 << false << 0 << 0 << E();
    QTest::newRow("same pattern: group D, page 2") << same << E::number(3) << E::text(">") << 80 << 1 << 3 << 7 << true << 41 << 17 << E::text(">");
    QTest::newRow("same pattern: over the same element") << same << E::number(9) << E::number(9) << 80 << 0 << 7 << 4 << true << 0 << 39 << E::number(9);
    QTest::newRow("batch mode") << batch << E::number(3) << E::number(0) << 80 << 0 << 0 << 0 << false << 0 << 0 << E();
    QTest::newRow("45 steps: step 45") << normal << E::number(3) << E::number(0) << 45 << 1 << 0 << 20 << true << 44 << 0 << E::number(0);
    QTest::newRow("45 steps: step 46") << normal << E::number(3) << E::number(0) << 45 << 1 << 0 << 25 << false << 0 << 0 << E();
    // clang-format on
}

void TestChartChange::cellClick()
{
    QFETCH(EditingMode, mode);
    QFETCH(ElementCode, held);
    QFETCH(ElementCode, selected);
    QFETCH(int, stepCount);
    QFETCH(int, page);
    QFETCH(int, group);
    QFETCH(int, index);
    QFETCH(bool, writes);
    QFETCH(int, step);
    QFETCH(int, channel);
    QFETCH(ElementCode, after);

    WindowState state;
    state.startUp();
    state.EditMode = mode;
    state.SelectedElement = selected;
    state.CurrentPage = qint16(page);
    state.CurrentGroup = qint16(group);
    const ChartCell clicked{index / 5 + 40 * page, 5 * group + index % 5};
    PatternTable chart;
    chart.fillUsed(E::number(3));
    chart.at(clicked.step, clicked.channel) = held;

    const ChartChange change = ::cellClick(chart, qint16(stepCount), state, index);
    QVERIFY(!change.stepCount);
    if (!writes) {
        QVERIFY(change.isEmpty());
        return;
    }
    QCOMPARE(change.cells.size(), 1u);
    const CellEdit& edit = change.cells.front();
    QCOMPARE(edit.cell, (ChartCell{step, channel}));
    QVERIFY(edit.before == held);
    QVERIFY(edit.after == after);
    QCOMPARE(edit.after.kind(), after.kind());
    QCOMPARE(change.changesAnything(), !(held == after));
}

void TestChartChange::batchFill_data()
{
    QTest::addColumn<EditingMode>("mode");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("batchChannel");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<int>("channel"); // of the chart; -1: no fill
    QTest::addColumn<ElementCode>("element");

    const auto batch = EditingMode::Batch;
    // clang-format off
    QTest::newRow("forwards") << batch << 0 << 0 << 0 << 9 << 1 << 0 << E::number(1);
    QTest::newRow("one step") << batch << 0 << 2 << 6 << 6 << 10 << 2 << E::text(":");
    QTest::newRow("across the pages") << batch << 2 << 1 << 35 << 44 << 13 << 11 << E::text("=");
    QTest::newRow("all 80 steps of group H") << batch << 7 << 4 << 0 << 79 << 3 << 39 << E::number(3);
    QTest::newRow("reversed range") << batch << 0 << 0 << 29 << 9 << 0 << -1 << E();
    QTest::newRow("normal mode") << EditingMode::Normal << 0 << 0 << 0 << 9 << 0 << -1 << E();
    // clang-format on
}

void TestChartChange::batchFill()
{
    QFETCH(EditingMode, mode);
    QFETCH(int, group);
    QFETCH(int, batchChannel);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, ordinal);
    QFETCH(int, channel);
    QFETCH(ElementCode, element);

    WindowState state;
    state.startUp();
    state.EditMode = mode;
    state.CurrentGroup = qint16(group);
    state.BatchChannel = qint16(batchChannel);
    state.BatchFromStep = qint16(from);
    state.BatchToStep = qint16(to);

    const std::optional<BatchFill> fill = ::batchFill(mixedChart(), state, ordinal);
    if (channel < 0) {
        QVERIFY(!fill);
        return;
    }
    QVERIFY(fill);
    QVERIFY(fill->element == element);
    QCOMPARE(fill->element.kind(), element.kind());
    QVERIFY(!fill->change.stepCount);
    QCOMPARE(int(fill->change.cells.size()), to - from + 1);
    // Ascending steps of the one channel, each from what the chart held to the element.
    for (int i = 0; i <= to - from; ++i) {
        const CellEdit& edit = fill->change.cells[std::size_t(i)];
        QCOMPARE(edit.cell, (ChartCell{from + i, channel}));
        QVERIFY(edit.before == mixedChart().at(from + i, channel));
        QVERIFY(edit.after == element);
    }
    QCOMPARE(fill->change.firstCell(), (ChartCell{from, channel}));
}

void TestChartChange::stepCountPick_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<int>("after"); // -1: no change

    QTest::newRow("80 to 12") << 80 << "12" << 12;
    QTest::newRow("1 to 80") << 1 << "80" << 80;
    QTest::newRow("the same count") << 40 << "40" << 40;
    QTest::newRow("no number") << 80 << "abc" << -1;
}

void TestChartChange::stepCountPick()
{
    QFETCH(int, current);
    QFETCH(QString, picked);
    QFETCH(int, after);

    const ChartChange change = ::stepCountPick(qint16(current), picked);
    QVERIFY(change.cells.empty());
    if (after < 0) {
        QVERIFY(change.isEmpty());
        return;
    }
    QVERIFY(change.stepCount);
    QCOMPARE(change.stepCount->before, current);
    QCOMPARE(change.stepCount->after, after);
    QCOMPARE(change.changesAnything(), current != after);
    QCOMPARE(change.firstCell(), std::nullopt);
}

void TestChartChange::load()
{
    const PatternTable before = mixedChart();
    PatternTable loaded = before;
    loaded.at(79, 39) = E::text("?");
    loaded.at(0, 5) = E::text("AB");
    loaded.at(2, 3) = E::text("3");    // the number 10 becomes a text
    loaded.at(79, 0) = E::number(3);   // the empty value becomes OFF
    loaded.at(41, 39) = E::text("AB"); // the same as before

    // Only the cells that differ, in file order (step by step, channels in order).
    const ChartChange change = ChartChange::between(before, 80, loaded, 12);
    QCOMPARE(change.cells.size(), 4u);
    const ChartCell order[] = {{0, 5}, {2, 3}, {79, 0}, {79, 39}};
    for (std::size_t i = 0; i < 4; ++i) {
        const CellEdit& edit = change.cells[i];
        QCOMPARE(edit.cell, order[i]);
        QVERIFY(edit.before == before.at(order[i].step, order[i].channel));
        QVERIFY(edit.after == loaded.at(order[i].step, order[i].channel));
    }
    QCOMPARE(change.stepCount->before, 80);
    QCOMPARE(change.stepCount->after, 12);

    // The same chart and step count again: nothing to do.
    QVERIFY(ChartChange::between(before, 12, before, 12).isEmpty());
    // A number equals the same number in any form; a number never equals a text.
    PatternTable digits = before;
    digits.at(0, 0) = E::number(0.0);
    QVERIFY(ChartChange::between(before, 80, digits, 80).isEmpty());
}

void TestChartChange::inverseGivesChartBack_data()
{
    QTest::addColumn<QString>("edit");
    QTest::newRow("cell click") << "click";
    QTest::newRow("batch fill across the pages") << "batch";
    QTest::newRow("step count") << "steps";
    QTest::newRow("load") << "load";
    QTest::newRow("paste cut off at both edges") << "paste";
}

void TestChartChange::inverseGivesChartBack()
{
    QFETCH(QString, edit);

    const PatternTable original = mixedChart();
    WindowState state;
    state.startUp();
    PatternTable chart = original;
    qint16 stepCount = 57;
    ChartChange change;
    if (edit == "click") {
        state.EditMode = EditingMode::SamePattern;
        state.SelectedElement = E::text(";");
        state.CurrentGroup = 3;
        change = ::cellClick(chart, stepCount, state, 12);
    } else if (edit == "batch") {
        state.EditMode = EditingMode::Batch;
        state.BatchFromStep = 30;
        state.BatchToStep = 50;
        change = ::batchFill(chart, state, 15)->change;
    } else if (edit == "steps") {
        change = ::stepCountPick(stepCount, "3");
    } else if (edit == "load") {
        PatternTable loaded;
        loaded.fillUsed(E::number(3));
        change = ChartChange::between(original, stepCount, loaded, 80);
    } else {
        const std::vector<E> row(6, E::text("<"));
        change = pasteChange(original, {77, 36}, std::vector<std::vector<E>>(5, row));
    }
    QVERIFY(change.changesAnything());

    change.applyTo(chart, stepCount);
    for (const CellEdit& cell : change.cells)
        QVERIFY(chart.at(cell.cell.step, cell.cell.channel) == cell.after);
    if (change.stepCount)
        QCOMPARE(stepCount, change.stepCount->after);
    QVERIFY(!(chart == original) || change.cells.empty());

    const ChartChange back = change.inverse();
    QCOMPARE(back.firstCell(), change.firstCell());
    back.applyTo(chart, stepCount);
    QVERIFY(chart == original);
    QCOMPARE(stepCount, 57);
    // Done again, the change gives the same chart as the first time.
    PatternTable again = original;
    qint16 steps = 57;
    change.applyTo(again, steps);
    back.inverse().applyTo(chart, stepCount);
    QVERIFY(chart == again);
    QCOMPARE(stepCount, steps);
}

QTEST_APPLESS_MAIN(TestChartChange)
#include "tst_chartchange.moc"
