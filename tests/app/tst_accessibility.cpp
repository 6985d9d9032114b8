#include "AccessibilityRecorder.h"
#include "ChartMenu.h"
#include "FormFixture.h"

#ifdef TRV_WITH_SIMULATOR
#include "SimulatorProcess.h"
#endif

#include <QAccessibleInterface>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QtPlugin>

Q_IMPORT_PLUGIN(AccessibilityRecorderPlugin)

namespace {

using E = ElementCode;

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// What assistive technology calls a control. Qt on Linux names a combo box
// by the value it shows, and says what the box is by the label it is
// labelled by; every other control by its accessible name.
QString calledBy(QWidget* control)
{
    QAccessibleInterface* iface = accessible(control);
    if (!qobject_cast<QComboBox*>(control))
        return iface->text(QAccessible::Name);
    const auto labels = iface->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

// The names of the objects that were told to have the focus, oldest first.
QStringList focusNames()
{
    QStringList names;
    for (const RecordedEvent& event : AccessibilityRecorder::eventsOf(QAccessible::Focus))
        names << event.name;
    return names;
}

// The names `object` had at each event of `type`, oldest first.
QStringList namesAt(QAccessible::Event type, QObject* object)
{
    QStringList names;
    for (const RecordedEvent& event : AccessibilityRecorder::eventsOf(type))
        if (event.object == object)
            names << event.name;
    return names;
}

QStringList nameChanges(QObject* object)
{
    return namesAt(QAccessible::NameChanged, object);
}

} // namespace

// What screen readers are given: names, the chart as a list of cells with
// the cursor's cell focused, and the announcements of the cursor, of cell
// changes and of the transfer's result.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlNames_data();
    void controlNames();
    void everyFocusStopNamed();
    void labelsThatActHaveRoles();
    void cellNamesFollowWhatIsShown();
    void chartIsListOfCells();
    void cursorMovesAnnounced();
    void cellChangeAnnounced();
    void previewNamed();
    void transferResultAnnounced();
    void timeoutAnnounced();

private:
    QWidget* grid() const { return w->get<QWidget>("ChartGrid"); }
    std::unique_ptr<StartedForm> w;
};

void TestAccessibility::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
    AccessibilityRecorder::clear();
}

void TestAccessibility::cleanup()
{
    w.reset();
}

void TestAccessibility::controlNames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description"); // its beginning

    // clang-format off
    QTest::newRow("group tab") << "Label1" << "グループA" << "グループAのチャネル1～5をチャートに表示します";
    QTest::newRow("last group tab") << "Label8" << "グループH" << "グループHのチャネル1～5";
    QTest::newRow("chart") << "ChartGrid" << "調光パターン・チャート" << "矢印キーでセルを移り";
    QTest::newRow("previous page") << "Command6" << "←前へ" << "ページ１（ステップ1～40）を表示します。";
    QTest::newRow("next page") << "Command7" << "次へ→" << "ページ２（ステップ41～80）を表示します。";
    QTest::newRow("mode option: its tool tip") << "Option3" << "一括設定→" << "チャネルとステップ範囲を指定し、";
    QTest::newRow("same-pattern palette") << "Command8" << "UP" << "同一パターン設定でセルに置く要素にします。";
    QTest::newRow("batch palette") << "Command39" << "DOWN-L(1/4)" << "一括設定の範囲をこの要素で埋めます。";
    QTest::newRow("batch channel") << "Combo2" << "一括設定のCH" << "一括設定するチャネル";
    QTest::newRow("batch first step") << "Combo3" << "一括設定のステップ範囲の始め" << "";
    QTest::newRow("batch last step") << "Combo4" << "一括設定のステップ範囲の終わり" << "";
    QTest::newRow("step count") << "Combo1" << "ステップ数" << "パターンで使うステップの数";
    QTest::newRow("write") << "Command1" << "書込" << "チャートをコントローラーに書き込みます。";
    QTest::newRow("result") << "disp1" << "結果" << "";
    QTest::newRow("save pattern 1") << "Command2" << "パターン１ 保存" << "チャートをファイル「パターン１.txt」に保存します。";
    QTest::newRow("load pattern 2") << "Command5" << "パターン２ 呼出" << "ファイル「パターン２.txt」のチャートを呼び出します。";
    QTest::newRow("port") << "Comportbox" << "COMポートの選択" << "";
    // clang-format on
}

void TestAccessibility::controlNames()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);

    QWidget* widget = w->get<QWidget>(control);
    QVERIFY2(widget, qPrintable(control));
    QCOMPARE(calledBy(widget), name);
    const QString described = accessible(widget)->text(QAccessible::Description);
    if (!description.isEmpty())
        QVERIFY2(described.startsWith(description), qPrintable(described));
}

void TestAccessibility::everyFocusStopNamed()
{
    QWidget* first = QApplication::focusWidget();
    QVERIFY(first);
    int stops = 0;
    do {
        QVERIFY2(!calledBy(QApplication::focusWidget()).isEmpty(),
                 qPrintable(QApplication::focusWidget()->objectName()));
        pressKeys(*w, Qt::Key_Tab);
        QVERIFY(++stops < 100);
    } while (QApplication::focusWidget() != first);
    QCOMPARE(stops, 54);
}

void TestAccessibility::labelsThatActHaveRoles()
{
    for (const char* tab : {"Label1", "Label8"}) {
        QAccessibleInterface* iface = accessible(w->get<QWidget>(tab));
        QCOMPARE(iface->role(), QAccessible::PageTab);
        QVERIFY(iface->state().focusable);
    }
    QCOMPARE(accessible(w->get<QWidget>("disp1"))->role(), QAccessible::Notification);
    QCOMPARE(accessible(w->get<QWidget>("Label11"))->role(), QAccessible::StaticText); // "結果" itself
}

void TestAccessibility::cellNamesFollowWhatIsShown()
{
    const auto name = [&](int index) { return accessible(w->cell(index))->text(QAccessible::Name); };
    QCOMPARE(name(57), "グループA CH3 ステップ12 OFF");
    w->load(patternFile({{11, 2, "4"}, {51, 7, "\"<\""}, {51, 8, "10"}}));
    QCOMPARE(name(57), "グループA CH3 ステップ12 UP-L");
    QCOMPARE(nameChanges(w->cell(57)), QStringList{"グループA CH3 ステップ12 UP-L"});

    // Each cell is renamed by what it shows after a switch of group or page, and only then.
    w->click("Label2");
    w->click("Command7");
    QCOMPARE(name(57), "グループB CH3 ステップ52 UP-L(1/4)");
    QCOMPARE(name(58), "グループB CH4 ステップ52 要素ではない値「10」");
    QCOMPARE(name(0), "グループB CH1 ステップ41 OFF");
    AccessibilityRecorder::clear();
    w->click("Command7");
    QCOMPARE(AccessibilityRecorder::eventsOf(QAccessible::NameChanged).size(), 0);
}

void TestAccessibility::chartIsListOfCells()
{
    QAccessibleInterface* chart = accessible(grid());
    QCOMPARE(chart->role(), QAccessible::List);
    QCOMPARE(chart->childCount(), 200);
    QCOMPARE(chart->focusChild(), nullptr);
    for (int index : {0, 57, 199}) {
        QAccessibleInterface* cell = accessible(w->cell(index));
        QCOMPARE(chart->child(index), cell);
        QCOMPARE(chart->indexOfChild(cell), index);
        QCOMPARE(cell->parent(), chart);
        QCOMPARE(cell->role(), QAccessible::ListItem);
        QVERIFY(cell->state().focusable);
        QVERIFY(!cell->state().focused);
    }
    const QRect at = accessible(w->cell(57))->rect();
    QCOMPARE(chart->childAt(at.center().x(), at.center().y()), accessible(w->cell(57)));

    // The cell under the cursor is the focused one while the chart has the focus.
    tabIntoChart(*w);
    pressKeys(*w, "Right Down Shift+Right");
    QAccessibleInterface* cursor = accessible(w->cell(11));
    QCOMPARE(chart->focusChild(), cursor);
    QVERIFY(cursor->state().focused);
    QVERIFY(!accessible(w->cell(6))->state().focused);
    // The selected cells are selected.
    for (int index : {6, 11})
        QVERIFY(accessible(w->cell(index))->state().selected);
    QVERIFY(!accessible(w->cell(5))->state().selected);
    pressKeys(*w, "Escape");
    QVERIFY(!accessible(w->cell(11))->state().selected);

    pressKeys(*w, "Tab");
    QCOMPARE(chart->focusChild(), nullptr);
    QVERIFY(!cursor->state().focused);
}

void TestAccessibility::cursorMovesAnnounced()
{
    // Tab into the chart: after the chart itself, its cell under the cursor has the focus.
    tabIntoChart(*w);
    QCoreApplication::processEvents();
    QCOMPARE(focusNames().last(2), (QStringList{"調光パターン・チャート", "グループA CH1 ステップ1 OFF"}));
    const RecordedEvent last = AccessibilityRecorder::eventsOf(QAccessible::Focus).last();
    QCOMPARE(last.object.data(), static_cast<QObject*>(w->cell(0)));
    QVERIFY(last.state.focused);

    // Every move that lands on another cell, also on another page or group.
    AccessibilityRecorder::clear();
    pressKeys(*w, "Right Up Down Ctrl+PgDown PgDown Ctrl+1");
    QCOMPARE(focusNames(), (QStringList{"グループA CH1 ステップ2 OFF", "グループA CH2 ステップ2 OFF",
                                        "グループB CH2 ステップ2 OFF", "グループB CH2 ステップ42 OFF",
                                        "グループA CH2 ステップ42 OFF"}));

    // A click gives the chart the focus on the cell clicked.
    AccessibilityRecorder::clear();
    w->click("Command6");
    w->clickCell(12);
    QCoreApplication::processEvents();
    QCOMPARE(focusNames().last(), "グループA CH3 ステップ3 UP");
}

void TestAccessibility::cellChangeAnnounced()
{
    w->click("Option2");
    w->click("Command30"); // UP-L(1/4)
    tabIntoChart(*w);
    pressKeys(*w, "Right");
    const QAccessible::Id before = QAccessible::uniqueId(accessible(w->cell(5)));
    AccessibilityRecorder::clear();
    pressKeys(*w, "Space");
    QCOMPARE(nameChanges(w->cell(5)), QStringList{"グループA CH1 ステップ2 UP-L(1/4)"});
    // Told as a new object that takes the focus: a screen reader speaks that, not a new name.
    QCOMPARE(focusNames(), QStringList{"グループA CH1 ステップ2 UP-L(1/4)"});
    QVERIFY(QAccessible::uniqueId(accessible(w->cell(5))) != before);

    // Also when an undo changes it, or a click on a group tab shows another cell under the cursor.
    AccessibilityRecorder::clear();
    pressKeys(*w, "Ctrl+Z");
    w->click("Label3");
    QCOMPARE(focusNames(), (QStringList{"グループA CH1 ステップ2 OFF", "グループC CH1 ステップ2 OFF"}));
    // A press that changes nothing tells nothing.
    AccessibilityRecorder::clear();
    w->click("Option3");
    tabIntoChart(*w);
    pressKeys(*w, "Right");
    QCoreApplication::processEvents();
    AccessibilityRecorder::clear();
    pressKeys(*w, "Space");
    QCOMPARE(focusNames(), QStringList());
}

void TestAccessibility::previewNamed()
{
    QWidget* preview = w->get<QWidget>("Picture2");
    QCOMPARE(calledBy(preview), "パターンの指定: UP");
    w->click("Option2");
    w->click("Command32");
    QCOMPARE(calledBy(preview), "パターンの指定: DOWN-H(1/4)");
    QCOMPARE(nameChanges(preview), QStringList{"パターンの指定: DOWN-H(1/4)"});
}

void TestAccessibility::transferResultAnnounced()
{
#ifndef TRV_WITH_SIMULATOR
    QSKIP("needs the controller simulator");
#else
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    SimulatorProcess simulator;
    QVERIFY2(simulator.start({"--output", work.filePath("received.txt")}),
             qPrintable(simulator.errorString()));
    w = std::make_unique<StartedForm>();
    QVERIFY(writeFile(w->folder.filePath("Setting.ini"), simulator.settingsFile()));
    QVERIFY(w->start());
    w->holdTimers();
    QWidget* result = w->get<QWidget>("disp1");
    AccessibilityRecorder::clear();

    w->click("Command1");
    QVERIFY(waitFor([&] { return w->form->state().BusyFlag == "0"; }, HangLimitMs));
    QCOMPARE(w->caption(), "成功");
    w->clickCell(0);
    QCOMPARE(nameChanges(result), (QStringList{"結果: 処理中", "結果: 成功", "結果"}));
    QCOMPARE(namesAt(QAccessible::ObjectShow, result), (QStringList{"結果: 処理中", "結果: 成功"}));
    QCOMPARE(accessible(result)->text(QAccessible::Name), "結果");
    QVERIFY(QDir::setCurrent(previous));
#endif
}

void TestAccessibility::timeoutAnnounced()
{
    BusyForm busy;
    QVERIFY(busy.start());
    QWidget* result = busy.get<QWidget>("disp1");
    AccessibilityRecorder::clear();
    QVERIFY(busy.startTransfer());
    busy.tick("Timer2");
    busy.tick("Timer2");
    busy.tick("Timer1");
    QCOMPARE(busy.caption(), "失敗");
    QCOMPARE(nameChanges(result), (QStringList{"結果: 処理中", "結果: 失敗"}));
    QCOMPARE(namesAt(QAccessible::ObjectShow, result), (QStringList{"結果: 処理中", "結果: 失敗"}));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
