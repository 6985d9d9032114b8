#include "state/WindowState.h"

#include <QTest>

class TestWindowState : public QObject
{
    Q_OBJECT

private slots:
    void startUpState();
    void statusReset_data();
    void statusReset();
};

void TestWindowState::startUpState()
{
    WindowState state;
    state.BusyFlag = "1";
    state.StepCount = 12;
    state.startUp();
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            QVERIFY(state.PatternData.at(step, channel) == ElementCode::number(3));
    QVERIFY(state.PatternData.at(80, 0).isEmpty());
    QVERIFY(state.PatternData.at(0, 40).isEmpty());
    QCOMPARE(state.BusyFlag, "0");
    QCOMPARE(state.StepCount, 80);
    QCOMPARE(state.CurrentGroup, 0);
    QCOMPARE(state.CurrentPage, 0);
    QCOMPARE(state.EditMode, EditingMode::Normal);
    QVERIFY(state.SelectedElement == ElementCode::number(0));
    QCOMPARE(state.BatchChannel, 0);
    QCOMPARE(state.BatchFromStep, 0);
    QCOMPARE(state.BatchToStep, 0);
    QVERIFY(state.Status == (StatusDisplay{0xFFFFFF, ""}));
}

void TestWindowState::statusReset_data()
{
    QTest::addColumn<QString>("busyFlag");
    QTest::addColumn<bool>("proceeds");

    QTest::newRow("0 unlocks") << "0" << true;
    QTest::newRow("1 locks") << "1" << false;
    QTest::newRow("1.0 reads as 1") << "1.0" << false;
    QTest::newRow("2 unlocks") << "2" << true;
    QTest::newRow("text unlocks") << "abc" << true;
    QTest::newRow("empty unlocks") << "" << true;
}

void TestWindowState::statusReset()
{
    QFETCH(QString, busyFlag);
    QFETCH(bool, proceeds);

    WindowState state;
    state.BusyFlag = busyFlag;
    state.Status = {0xC0FFC0, "成功"};
    QCOMPARE(state.StatusReset(), proceeds);
    const StatusDisplay expected = proceeds ? StatusDisplay{0xFFFFFF, ""} : StatusDisplay{0xC0FFC0, "成功"};
    QCOMPARE(state.Status, expected);
}

QTEST_APPLESS_MAIN(TestWindowState)
#include "tst_windowstate.moc"
