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

// Where the cells that were told to have the focus are, with what they show: their descriptions.
QStringList focusPlaces()
{
    QStringList places;
    for (const RecordedEvent& event : AccessibilityRecorder::eventsOf(QAccessible::Focus))
        places << event.description;
    return places;
}

using AccessibilityRecorder::namesAt;

QStringList nameChanges(QObject* object)
{
    return namesAt(QAccessible::NameChanged, object);
}

// What the window announced, oldest first: the names its notification object was shown with.
QStringList announcements(const StartedForm& w)
{
    return namesAt(QAccessible::ObjectShow, w.get<QWidget>("Announcer"));
}

} // namespace

// What screen readers are given: names, the chart as a table with headers,
// the cursor's cell focused and the selection selected, the group tabs as a
// tab list, the palettes as groups of buttons, and the announcements of the
// cursor, of changes away from it and of the transfer's result.
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
    void chartIsTable();
    void tableFollowsWhatIsShown();
    void cursorMovesAnnounced();
    void cellChangeAnnounced();
    void changesAwayFromCursorAnnounced();
    void groupTabsAreTabList();
    void palettesAreGroups();
    void previewNamed();
    void failureReasonReadable();
    void transferResultAnnounced();
    void timeoutAnnounced();

private:
    QWidget* grid() const { return w->get<QWidget>("Picture1"); }
    QAccessibleTableInterface* table() const { return accessible(grid())->tableInterface(); }
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
    QTest::newRow("chart") << "Picture1" << "調光パターン・チャート" << "矢印キーでセルを移り";
    QTest::newRow("previous page") << "Command6" << "←前へ" << "ページ１（ステップ1～40）を表示します。";
    QTest::newRow("next page") << "Command7" << "次へ→" << "ページ２（ステップ41～80）を表示します。";
    QTest::newRow("mode option: its tool tip") << "Option3" << "一括設定→" << "チャネルとステップ範囲を指定し、";
    QTest::newRow("same-pattern palette") << "Command8" << "UP（同一パターン設定）" << "同一パターン設定でセルに置く要素にします。";
    QTest::newRow("batch palette") << "Command39" << "DOWN-L(1/4)（一括設定）" << "一括設定の範囲をこの要素で埋めます。";
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
    // The group tabs are one stop, and the result is one, after 書込.
    QCOMPARE(stops, 48);
}

void TestAccessibility::labelsThatActHaveRoles()
{
    for (const char* tab : {"Label1", "Label8"})
        QCOMPARE(accessible(w->get<QWidget>(tab))->role(), QAccessible::PageTab);
    QCOMPARE(accessible(w->get<QWidget>("disp1"))->role(), QAccessible::Notification);
    QCOMPARE(accessible(w->get<QWidget>("Label11"))->role(), QAccessible::StaticText); // "結果" itself
}

// The page shown is a table of 5 channels by 40 steps; each cell is named by its element alone,
// with its row and column header saying where it is.
void TestAccessibility::chartIsTable()
{
    QAccessibleInterface* chart = accessible(grid());
    QCOMPARE(chart->role(), QAccessible::Table);
    QVERIFY(chart->state().multiSelectable);
    QAccessibleTableInterface* cells = table();
    QVERIFY(cells);
    QCOMPARE(cells->rowCount(), 5);
    QCOMPARE(cells->columnCount(), 40);
    QCOMPARE(cells->rowDescription(2), "グループA CH3");
    QCOMPARE(cells->columnDescription(11), "ステップ12");
    QCOMPARE(chart->focusChild(), nullptr);
    for (const auto& [row, column] : {std::pair{0, 0}, {2, 11}, {4, 39}}) {
        QAccessibleInterface* cell = cells->cellAt(row, column);
        QVERIFY(cell);
        QCOMPARE(cell->role(), QAccessible::Cell);
        QCOMPARE(cell->text(QAccessible::Name), "OFF");
        QCOMPARE(cell->parent(), chart);
        QCOMPARE(chart->child(chart->indexOfChild(cell)), cell);
        QAccessibleTableCellInterface* place = cell->tableCellInterface();
        QCOMPARE(place->rowIndex(), row);
        QCOMPARE(place->columnIndex(), column);
        QCOMPARE(place->rowHeaderCells().value(0)->text(QAccessible::Name),
                 QStringLiteral("グループA CH%1").arg(row + 1));
        QCOMPARE(place->rowHeaderCells().value(0)->role(), QAccessible::RowHeader);
        QCOMPARE(place->columnHeaderCells().value(0)->text(QAccessible::Name),
                 QStringLiteral("ステップ%1").arg(column + 1));
        QCOMPARE(place->columnHeaderCells().value(0)->role(), QAccessible::ColumnHeader);
        QVERIFY(cell->state().focusable && !cell->state().focused);
        // Where the cell is painted, as a screen reader's review finds it.
        const QRect shown = w->cell(5 * column + row).geometry();
        QCOMPARE(cell->rect(), QRect(w->form->mapToGlobal(shown.topLeft()), shown.size()));
        QCOMPARE(chart->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);
    }

    // The cell under the cursor is the focused one while the chart has the focus; the
    // selected cells are selected, and the table says which.
    tabIntoChart(*w);
    pressKeys(*w, "Right Down Shift+Right");
    QAccessibleInterface* cursor = cells->cellAt(1, 2);
    QCOMPARE(chart->focusChild(), cursor);
    QVERIFY(cursor->state().focused);
    QVERIFY(!cells->cellAt(1, 1)->state().focused);
    QVERIFY(cells->cellAt(1, 1)->state().selected && cursor->state().selected);
    QVERIFY(!cells->cellAt(0, 1)->state().selected);
    QCOMPARE(cells->selectedCellCount(), 2);
    QCOMPARE(cells->selectedCells(), (QList<QAccessibleInterface*>{cells->cellAt(1, 1), cursor}));
    QVERIFY(!AccessibilityRecorder::eventsOf(QAccessible::SelectionWithin).isEmpty());
    pressKeys(*w, "Escape");
    QVERIFY(!cursor->state().selected);
    QCOMPARE(cells->selectedCellCount(), 0);

    pressKeys(*w, "Tab");
    QCOMPARE(chart->focusChild(), nullptr);
    QVERIFY(!cursor->state().focused);
}

// After a switch of group or page the table shows that group and page: its headers and cells
// say so, without a name change told for each of the 200 cells.
void TestAccessibility::tableFollowsWhatIsShown()
{
    w->load(patternFile({{11, 2, "4"}, {51, 7, "\"<\""}, {51, 8, "10"}}));
    QCOMPARE(table()->cellAt(2, 11)->text(QAccessible::Name), "UP-L");
    QCOMPARE(table()->cellAt(2, 11)->text(QAccessible::Description), "グループA CH3 ステップ12 UP-L");
    AccessibilityRecorder::clear();
    w->click("Label2");
    w->click("Command7");
    for (const RecordedEvent& event : AccessibilityRecorder::eventsOf(QAccessible::NameChanged))
        QVERIFY(event.object != grid());
    QCOMPARE(table()->rowDescription(2), "グループB CH3");
    QCOMPARE(table()->columnDescription(11), "ステップ52");
    QCOMPARE(table()->cellAt(2, 11)->text(QAccessible::Name), "UP-L(1/4)");
    QCOMPARE(table()->cellAt(3, 11)->text(QAccessible::Name), "要素ではない値「10」");
    QCOMPARE(announcements(*w),
             (QStringList{"グループB、ステップ1～40 を表示", "グループB、ステップ41～80 を表示"}));
}

void TestAccessibility::cursorMovesAnnounced()
{
    // Tab into the chart: after the chart itself, its cell under the cursor has the focus.
    tabIntoChart(*w);
    QCoreApplication::processEvents();
    QCOMPARE(focusNames().last(2), (QStringList{"調光パターン・チャート", "OFF"}));
    const RecordedEvent last = AccessibilityRecorder::eventsOf(QAccessible::Focus).last();
    QCOMPARE(last.description, "グループA CH1 ステップ1 OFF");
    QCOMPARE(last.object.data(), static_cast<QObject*>(grid()));
    QVERIFY(last.state.focused);

    // Every move that lands on another cell, also on another page or group, once.
    AccessibilityRecorder::clear();
    pressKeys(*w, "Right Up Down Ctrl+PgDown PgDown Ctrl+1");
    QCOMPARE(focusPlaces(), (QStringList{"グループA CH1 ステップ2 OFF", "グループA CH2 ステップ2 OFF",
                                         "グループB CH2 ステップ2 OFF", "グループB CH2 ステップ42 OFF",
                                         "グループA CH2 ステップ42 OFF"}));

    // A click gives the chart the focus on the cell clicked.
    AccessibilityRecorder::clear();
    w->click("Command6");
    w->clickCell(12);
    QCoreApplication::processEvents();
    QCOMPARE(focusPlaces().last(), "グループA CH3 ステップ3 UP");
}

void TestAccessibility::cellChangeAnnounced()
{
    w->click("Option2");
    w->click("Command30"); // UP-L(1/4)
    tabIntoChart(*w);
    pressKeys(*w, "Right");
    const QAccessible::Id before = QAccessible::uniqueId(table()->cellAt(0, 1));
    AccessibilityRecorder::clear();
    pressKeys(*w, "Space");
    // Told as a new object that takes the focus: a screen reader speaks that, not a new name.
    QCOMPARE(focusNames(), QStringList{"UP-L(1/4)"});
    QVERIFY(QAccessible::uniqueId(table()->cellAt(0, 1)) != before);
    QVERIFY(announcements(*w).isEmpty()); // the cell under the cursor tells it itself

    // Also when an undo changes it, or a click on a group tab shows another cell under the cursor.
    AccessibilityRecorder::clear();
    pressKeys(*w, "Ctrl+Z");
    w->click("Label3");
    QCOMPARE(focusPlaces(), (QStringList{"グループA CH1 ステップ2 OFF", "グループC CH1 ステップ2 OFF"}));
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

// What changes away from the cursor is announced: what was done and where.
void TestAccessibility::changesAwayFromCursorAnnounced()
{
    const auto lastAnnounced = [&] { return announcements(*w).value(announcements(*w).size() - 1); };
    w->click("Option3");
    w->chooseItem("Combo2", "5");
    w->chooseItem("Combo3", "10");
    w->chooseItem("Combo4", "20");
    w->click("Command13"); // DOWN
    QCOMPARE(lastAnnounced(), "一括設定 グループA CH5 ステップ10～20");
    pressKeys(*w, "Ctrl+Z");
    QCOMPARE(lastAnnounced(), "元に戻しました: 一括設定 グループA CH5 ステップ10～20");
    pressKeys(*w, "Ctrl+Y");
    QCOMPARE(lastAnnounced(), "やり直しました: 一括設定 グループA CH5 ステップ10～20");
    setClipboardText("1\t2\n");
    QVERIFY(chooseFromChartMenu(*w, 57, "貼り付け"));
    QCOMPARE(lastAnnounced(), "貼り付け グループA CH3～4 ステップ12");
    w->chooseItem("Combo1", "37");
    QCOMPARE(lastAnnounced(), "ステップ数の変更 ステップ数 37");
    shiftClickCell(*w, 6);
    shiftClickCell(*w, 18);
    QCOMPARE(lastAnnounced(), "ステップ2～4、CH2～4 を選択");
    pressKeys(*w, "Ctrl+C");
    QCOMPARE(lastAnnounced(), "コピーしました: グループA CH2～4 ステップ2～4");
    w->load(patternFile({{79, 39, "1"}}, "12"));
    QCOMPARE(lastAnnounced(), "呼出 グループA CH3～グループH CH5 ステップ10～80、ステップ数 12");

    // A key refused during a transfer says why.
    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(busy.startTransfer());
    tabIntoChart(busy);
    AccessibilityRecorder::clear();
    pressKeys(busy, "Space");
    QCOMPARE(announcements(busy), QStringList{"書込中のため変更できません"});
}

// The group tabs are one tab list, the tab of the group shown selected; Left and Right move
// between them and switch the group.
void TestAccessibility::groupTabsAreTabList()
{
    QAccessibleInterface* first = accessible(w->get<QWidget>("Label1"));
    QAccessibleInterface* list = first->parent();
    QCOMPARE(list->role(), QAccessible::PageTabList);
    QCOMPARE(list->childCount(), 8);
    QCOMPARE(list->child(7), accessible(w->get<QWidget>("Label8")));
    QCOMPARE(list->parent(), accessible(w->form.get()));
    QVERIFY(accessible(w->form.get())->indexOfChild(list) >= 0);
    QCOMPARE(accessible(w->form.get())->indexOfChild(first), -1); // in the list, not beside it
    QVERIFY(first->state().selected && first->state().focusable);
    QVERIFY(!list->child(1)->state().selected && !list->child(1)->state().focusable);

    w->get<QWidget>("Label1")->setFocus(Qt::TabFocusReason);
    pressKeys(*w, "Right");
    QCOMPARE(w->form->state().CurrentGroup, 1);
    QCOMPARE(QApplication::focusWidget(), w->get<QWidget>("Label2"));
    QVERIFY(list->child(1)->state().selected && !first->state().selected);
    pressKeys(*w, "Left Left");
    QCOMPARE(w->form->state().CurrentGroup, 7); // round from A to H
    QCOMPARE(QApplication::focusWidget(), w->get<QWidget>("Label8"));
}

// Each palette is a group of buttons; in the same-pattern palette the element chosen is checked.
void TestAccessibility::palettesAreGroups()
{
    QAccessibleInterface* up = accessible(w->get<QWidget>("Command8"));
    QAccessibleInterface* palette = up->parent();
    QCOMPARE(palette->role(), QAccessible::Grouping);
    QCOMPARE(palette->text(QAccessible::Name), "同一パターン設定のパターン");
    QCOMPARE(palette->childCount(), 16);
    QCOMPARE(accessible(w->get<QWidget>("Command39"))->parent()->text(QAccessible::Name),
             "一括設定のパターン");
    QVERIFY(up->state().checkable && up->state().checked);
    QAccessibleInterface* downH = accessible(w->get<QWidget>("Command32"));
    QVERIFY(!downH->state().checked);
    w->click("Option2");
    AccessibilityRecorder::clear();
    w->click("Command32");
    QVERIFY(downH->state().checked && !up->state().checked);
    QCOMPARE(AccessibilityRecorder::eventsOf(QAccessible::StateChanged).size(), 2);
    QVERIFY(!accessible(w->get<QWidget>("Command39"))->state().checkable);
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

// The reason of a failure is the result's description, and a keyboard user reaches the result
// with Tab after 書込.
void TestAccessibility::failureReasonReadable()
{
    w->failTransfer();
    QWidget* result = w->get<QWidget>("disp1");
    const QString reason = accessible(result)->text(QAccessible::Description);
    QVERIFY2(reason.startsWith("ポート「ERROR」を開けません"), qPrintable(reason));
    w->get<QWidget>("Command1")->setFocus(Qt::TabFocusReason);
    pressKeys(*w, "Tab");
    QCOMPARE(QApplication::focusWidget(), result);
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
