#include "AccessibilityRecorder.h"
#include "ChartMenu.h"
#include "FormFixture.h"

#include "app/ChartGrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QtPlugin>

Q_IMPORT_PLUGIN(AccessibilityRecorderPlugin)

namespace {

using E = ElementCode;

// A cell the test looks at afterwards, with the element it must hold (by ordinal).
struct Expected
{
    int step;
    int channel;
    int ordinal;
};

// The chart each case starts from: UP on step 3 and DOWN on step 4 of CH1,
// ON on step 6 of CH2, 10 steps in use.
const QByteArray Start = patternFile({{2, 0, "0"}, {3, 0, "1"}, {5, 1, "2"}}, "10");

// What the window announced last.
QString announced(const StartedForm& w)
{
    const QStringList names =
        AccessibilityRecorder::namesAt(QAccessible::ObjectShow, w.get<QObject>("Announcer"));
    return names.isEmpty() ? QString() : names.last();
}

} // namespace

Q_DECLARE_METATYPE(QList<Expected>)

// Composing from the keyboard: each key does its operation on the chart as one step of the
// history, with the keyboard's cursor on step 3 of CH1; the undo takes it back whole.
class TestCompose : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keys_data();
    void keys();
    void menuActsOnTheCellClicked();
    void moveTakesCursorAndSelectionAlong();
    void lostCellsAskedFirst_data();
    void lostCellsAskedFirst();
    void refusedDuringTransfer();
    void writeAndPortKeys();

private:
    const PatternTable& chart() const { return w->form->document().PatternData(); }
    // Tab into the chart and to step 3 of CH1.
    void cursorToStep3();
    QString undoCaption();
    std::unique_ptr<StartedForm> w;
};

void TestCompose::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
    w->load(Start);
    AccessibilityRecorder::clear();
}

void TestCompose::cleanup()
{
    w.reset();
}

void TestCompose::cursorToStep3()
{
    tabIntoChart(*w);
    pressKeys(*w, "Right Right");
}

QString TestCompose::undoCaption()
{
    QMenu* menu = openChartMenu(*w, 0);
    const QString caption = menu ? menuItem(menu, "元に戻す")->text() : QString();
    closeChartMenu(*w);
    return caption.section(QChar('\t'), 0, 0);
}

void TestCompose::keys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("pick"); // an item of the group menu the key opens, if any
    QTest::addColumn<QList<Expected>>("cells");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<QString>("step"); // the history's text for it
    QTest::addColumn<QString>("told"); // what a screen reader is told

    const int up = 0, down = 1, on = 2, off = 3;
    // clang-format off
    QTest::newRow("Insert") << "Insert" << "" << QList<Expected>{{2, 0, off}, {3, 0, up}, {4, 0, down}, {6, 1, on}} << 11 << "ステップを挿入" << "ステップを挿入 全チャンネル ステップ3";
    QTest::newRow("Ctrl+Shift+=") << "Ctrl+Shift+=" << "" << QList<Expected>{{2, 0, off}, {3, 0, up}, {6, 1, on}} << 11 << "ステップを挿入" << "";
    QTest::newRow("Ctrl+-") << "Ctrl+-" << "" << QList<Expected>{{2, 0, down}, {3, 0, off}, {4, 1, on}} << 9 << "ステップを削除" << "ステップを削除 全チャンネル ステップ3";
    QTest::newRow("Ctrl+Delete") << "Ctrl+Del" << "" << QList<Expected>{{2, 0, down}, {4, 1, on}, {79, 0, off}} << 9 << "ステップを削除" << "";
    QTest::newRow("Ctrl+D") << "Ctrl+D" << "" << QList<Expected>{{2, 0, up}, {3, 0, up}, {4, 0, down}, {6, 1, on}} << 11 << "ステップを複製" << "ステップを複製 全チャンネル ステップ4";
    QTest::newRow("Alt+Left") << "Alt+Left" << "" << QList<Expected>{{1, 0, up}, {2, 0, off}, {3, 0, down}} << 10 << "ステップを左へ" << "";
    QTest::newRow("Alt+Right") << "Alt+Right" << "" << QList<Expected>{{2, 0, down}, {3, 0, up}, {5, 1, on}} << 10 << "ステップを右へ" << "";
    QTest::newRow("Ctrl+Shift+Delete") << "Ctrl+Shift+Del" << "" << QList<Expected>{{2, 0, off}, {3, 0, off}, {5, 1, off}} << 10 << "グループを消去" << "";
    QTest::newRow("Ctrl+Shift+Down") << "Ctrl+Shift+Down" << "" << QList<Expected>{{0, 0, up}, {1, 1, up}, {4, 4, up}, {5, 0, up}, {2, 0, off}, {3, 0, off}} << 10 << "チェイス" << "";
    QTest::newRow("Ctrl+Shift+Up") << "Ctrl+Shift+Up" << "" << QList<Expected>{{0, 4, up}, {1, 3, up}, {4, 0, up}, {2, 0, off}} << 10 << "チェイス" << "";
    QTest::newRow("Ctrl+Shift+R") << "Ctrl+Shift+R" << "" << QList<Expected>{{7, 0, up}, {6, 0, down}, {4, 1, on}, {2, 0, off}} << 10 << "逆順" << "逆順 グループA CH1～5 ステップ1～10";
    QTest::newRow("Ctrl+Shift+Left") << "Ctrl+Shift+Left" << "" << QList<Expected>{{1, 0, up}, {2, 0, down}, {4, 1, on}} << 10 << "回転" << "";
    QTest::newRow("Ctrl+Shift+Right") << "Ctrl+Shift+Right" << "" << QList<Expected>{{3, 0, up}, {4, 0, down}, {6, 1, on}} << 10 << "回転" << "";
    QTest::newRow("Ctrl+Shift+C") << "Ctrl+Shift+C" << "グループA → グループC" << QList<Expected>{{2, 10, up}, {3, 10, down}, {5, 11, on}, {2, 0, up}} << 10 << "グループをコピー" << "";
    QTest::newRow("Ctrl+Shift+X") << "Ctrl+Shift+X" << "グループA ⇔ グループC" << QList<Expected>{{2, 10, up}, {5, 11, on}, {2, 0, off}, {5, 1, off}} << 10 << "グループを入れ替え" << "";
    // clang-format on
}

void TestCompose::keys()
{
    QFETCH(QString, keys);
    QFETCH(QString, pick);
    QFETCH(QList<Expected>, cells);
    QFETCH(int, stepCount);
    QFETCH(QString, step);
    QFETCH(QString, told);

    const PatternTable start = chart();
    cursorToStep3();
    pressKeys(*w, keys);
    if (!pick.isEmpty()) {
        auto* menu = w->get<QMenu>("GroupChoiceMenu");
        QVERIFY(menu && menu->isVisible());
        QAction* item = menuItem(menu, pick);
        QVERIFY(item);
        item->trigger();
        menu->close();
        QVERIFY(activate(*w));
    }
    for (const Expected& cell : cells)
        QVERIFY2(chart().at(cell.step, cell.channel) == E::ofOrdinal(cell.ordinal),
                 qPrintable(QStringLiteral("step %1, channel %2").arg(cell.step + 1).arg(cell.channel + 1)));
    QCOMPARE(w->form->document().StepCount(), stepCount);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), QString::number(stepCount));
    if (!told.isEmpty())
        QCOMPARE(announced(*w), told);
    else
        QVERIFY2(announced(*w).startsWith(step), qPrintable(announced(*w)));

    // One step of the history, with its own text.
    QCOMPARE(undoCaption(), "元に戻す: " + step);
    tabIntoChart(*w);
    pressKeys(*w, "Ctrl+Z");
    QVERIFY(chart() == start);
    QCOMPARE(w->form->document().StepCount(), 10);
}

// The chart menu's submenus act on the step of the cell clicked, or on the selection.
void TestCompose::menuActsOnTheCellClicked()
{
    QMenu* menu = openChartMenu(*w, 5 * 3); // step 4, CH1
    QVERIFY(menu);
    QAction* steps = menuItem(menu, "ステップ");
    QVERIFY(steps && steps->menu());
    QAction* insert = menuItem(steps->menu(), "ステップを挿入");
    QVERIFY(insert && insert->isEnabled());
    QVERIFY(insert->text().endsWith("\tIns"));
    insert->trigger();
    closeChartMenu(*w);
    QVERIFY(chart().at(3, 0) == E::number(3) && chart().at(4, 0) == E::number(1));

    // On a selection, only its steps of its channels move.
    shiftClickCell(*w, 5 * 5 + 1); // step 6, CH2
    shiftClickCell(*w, 5 * 6 + 1); // step 7, CH2
    menu = openChartMenu(*w, 0);
    QVERIFY(menu);
    steps = menuItem(menu, "ステップ");
    QVERIFY(steps && steps->menu());
    QAction* remove = menuItem(steps->menu(), "ステップを削除");
    QVERIFY(remove && remove->isEnabled());
    remove->trigger();
    closeChartMenu(*w);
    QVERIFY(chart().at(5, 1) == E::number(3)); // ON of step 7 (after the insert) went
    QVERIFY(chart().at(4, 0) == E::number(1)); // CH1 stayed
}

// Alt+Right on a selected block moves it, and the cursor and the selection go with it, also
// onto the next page.
void TestCompose::moveTakesCursorAndSelectionAlong()
{
    cursorToStep3();
    pressKeys(*w, "Shift+Right Alt+Right"); // steps 3 and 4 of CH1, one step on
    QVERIFY(chart().at(3, 0) == E::number(0) && chart().at(4, 0) == E::number(1));
    QCOMPARE(w->chart()->selection(), QRect(3, 0, 2, 1));
    QCOMPARE(cursorShownAt(*w), 5 * 4);
    pressKeys(*w, "Escape");

    w->load(patternFile({{38, 0, "0"}, {39, 0, "1"}}, "80"));
    tabIntoChart(*w);
    for (int i = 0; i < 38; ++i)
        pressKeys(*w, "Right");
    pressKeys(*w, "Shift+Right"); // steps 39 and 40 of CH1
    QCOMPARE(w->chart()->selection(), QRect(38, 0, 2, 1));
    pressKeys(*w, "Alt+Right");
    QVERIFY(chart().at(39, 0) == E::number(0) && chart().at(40, 0) == E::number(1));
    // Step 41 lies on the second page: the view goes there with the cursor; the block spans
    // both pages, so no selection is left on the page shown.
    QCOMPARE(w->form->state().CurrentPage, 1);
    QCOMPARE(cursorShownAt(*w), 0);
    // Without a selection the cursor's step moves, across all channels.
    pressKeys(*w, "Alt+Left");
    QCOMPARE(w->form->state().CurrentPage, 0);
    QCOMPARE(cursorShownAt(*w), 5 * 39);
    QVERIFY(chart().at(39, 0) == E::number(1) && chart().at(40, 0) == E::number(0));
}

void TestCompose::lostCellsAskedFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("No, the default") << QMessageBox::No;
    QTest::newRow("Yes") << QMessageBox::Yes;
}

// What an insert pushes past step 80 is lost; where any of it is not OFF the user is asked.
void TestCompose::lostCellsAskedFirst()
{
    QFETCH(QMessageBox::StandardButton, answer);
    w->load(patternFile({{78, 0, "0"}, {79, 3, "1"}, {79, 4, "2"}}, "80"));
    const PatternTable before = chart();
    cursorToStep3();
    w->boxes.answers = {answer};
    pressKeys(*w, "Ctrl+Shift+=");
    QCOMPARE(w->boxes.shown.size(), 1);
    QCOMPARE(w->boxes.shown[0].text,
             "ステップ80より後ろへ押し出されて、OFF でないセルが2個失われます。続けますか？");
    QCOMPARE(w->boxes.shown[0].defaultButton, QMessageBox::No);
    if (answer == QMessageBox::No) {
        QVERIFY(chart() == before);
        return;
    }
    QVERIFY(chart().at(79, 0) == E::number(0));
    QVERIFY(chart().at(79, 3) == E::number(3));
}

// During a transfer every operation is refused, as every edit is, and the screen reader says why.
void TestCompose::refusedDuringTransfer()
{
    BusyForm busy;
    QVERIFY(busy.start());
    busy.load(Start);
    const PatternTable before = busy.form->document().PatternData();
    QVERIFY(busy.startTransfer());
    tabIntoChart(busy);
    for (const char* keys : {"Insert", "Ctrl+-", "Ctrl+D", "Alt+Right", "Ctrl+Shift+Del", "Ctrl+Shift+Down",
                             "Ctrl+Shift+R", "Ctrl+Shift+Left", "Ctrl+Shift+C"})
        pressKeys(busy, keys);
    QVERIFY(busy.form->document().PatternData() == before);
    QVERIFY(!busy.get<QMenu>("GroupChoiceMenu"));
    QCOMPARE(busy.caption(), "処理中");
    QCOMPARE(announced(busy), "書込中のため変更できません");
}

// Ctrl+Return writes, wherever the keyboard is, taking a port typed into its box first;
// Ctrl+Shift+P brings the keyboard to the port box.
void TestCompose::writeAndPortKeys()
{
    FakeLineForm form;
    QVERIFY(form.start());
    QVERIFY(activate(form));
    form.holdTimers();
    pressKeys(form, "Ctrl+Shift+P");
    QCOMPARE(QApplication::focusWidget(), form.get<QWidget>("Comportbox"));
    pressKeys(form, "Ctrl+A");
    QTest::keyClicks(QApplication::focusWidget(), "COM5");
    pressKeys(form, "Ctrl+Return");
    QCOMPARE(form.form->state().BusyFlag, "1");
#ifdef Q_OS_WIN
    QCOMPARE(form.line.openings, QStringList{"COM5"});
#else
    QCOMPARE(form.line.openings, QStringList{"/dev/ttyS4"});
#endif
    QCOMPARE(form.line.take(), "E\r");
    QCOMPARE(QApplication::focusWidget(), form.get<QWidget>("Command1"));
}

QTEST_MAIN(TestCompose)
#include "tst_compose.moc"
