#include "state/WindowState.h"

#include <QTest>

class TestWindowState : public QObject
{
    Q_OBJECT

private slots:
    void statusReset_data();
    void statusReset();
};

void TestWindowState::statusReset_data()
{
    QTest::addColumn<QString>("busyFlag");
    QTest::addColumn<bool>("proceeds");

    QTest::newRow("0 unlocks") << "0" << true;
    QTest::newRow("1 locks") << "1" << false;
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
