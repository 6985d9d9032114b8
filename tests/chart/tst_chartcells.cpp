#include "chart/CellMapping.h"
#include "chart/CellName.h"
#include "chart/PatternTable.h"

#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(ElementCode)

class TestChartCells : public QObject
{
    Q_OBJECT

private slots:
    void cellMapping_data();
    void cellMapping();
    void cellNotVisible();
    void tableBounds_data();
    void tableBounds();
    void cellNames_data();
    void cellNames();
};

void TestChartCells::cellMapping_data()
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

void TestChartCells::cellMapping()
{
    QFETCH(int, index);
    QFETCH(int, page);
    QFETCH(int, group);
    QFETCH(int, step);
    QFETCH(int, channel);

    QCOMPARE(cellOfGridIndex(index, page, group), (ChartCell{step, channel}));
    QCOMPARE(gridIndexOfCell({step, channel}, page, group), std::optional<int>(index));
}

void TestChartCells::cellNotVisible()
{
    QCOMPARE(gridIndexOfCell({40, 0}, 0, 0), std::nullopt); // second page
    QCOMPARE(gridIndexOfCell({39, 5}, 0, 0), std::nullopt); // group B
    QCOMPARE(gridIndexOfCell({0, 39}, 0, 6), std::nullopt); // group H while G shown
    QCOMPARE(gridIndexOfCell({39, 4}, 1, 0), std::nullopt); // first page while second shown
}

void TestChartCells::tableBounds_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::newRow("step 81") << 81 << 0;
    QTest::newRow("channel 41") << 0 << 41;
    QTest::newRow("step -1") << -1 << 0;
}

// A cell outside the table is a mistake of the program: it stops, naming the cell, rather
// than touch memory that is no cell. Seen from a run of this test of its own.
void TestChartCells::tableBounds()
{
    QFETCH(int, step);
    QFETCH(int, channel);
    PatternTable table;
    QVERIFY(table.at(80, 40).isEmpty()); // the spare row and column exist
    if (qEnvironmentVariableIsSet("TRV_CELL_OUTSIDE")) {
        table.at(step, channel);
        return;
    }

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TRV_CELL_OUTSIDE", "1");
    environment.insert("QTEST_DISABLE_CORE_DUMP", "1");
    environment.insert("QTEST_DISABLE_STACK_DUMP", "1");
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("tableBounds:") + QTest::currentDataTag()});
    QVERIFY(run.waitForFinished(60000));
    const QByteArray output = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::CrashExit || run.exitCode() != 0, output.constData());
    QVERIFY2(output.contains(QStringLiteral("Chart cell outside the table: step %1, channel %2")
                                 .arg(step)
                                 .arg(channel)
                                 .toUtf8()),
             output.constData());
}

void TestChartCells::cellNames_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<QString>("name");

    using E = ElementCode;
    // clang-format off
    QTest::newRow("group A CH3 step 12") << 11 << 2 << E::number(4) << "グループA CH3 ステップ12 UP-L";
    QTest::newRow("first cell") << 0 << 0 << E::number(3) << "グループA CH1 ステップ1 OFF";
    QTest::newRow("last cell") << 79 << 39 << E::text("?") << "グループH CH5 ステップ80 DOWN-L(1/4)";
    QTest::newRow("group B CH1") << 40 << 5 << E::text(":") << "グループB CH1 ステップ41 ON-1/2";
    QTest::newRow("number 10") << 3 << 7 << E::number(10) << "グループB CH3 ステップ4 要素ではない値「10」";
    QTest::newRow("text 3 is no element") << 3 << 7 << E::text("3") << "グループB CH3 ステップ4 要素ではない値「3」";
    QTest::newRow("empty") << 3 << 7 << E() << "グループB CH3 ステップ4 値なし";
    // clang-format on
}

void TestChartCells::cellNames()
{
    QFETCH(int, step);
    QFETCH(int, channel);
    QFETCH(ElementCode, value);
    QFETCH(QString, name);
    QCOMPARE(cellName({step, channel}, value), name);
}

QTEST_GUILESS_MAIN(TestChartCells)
#include "tst_chartcells.moc"
