#include "ChartMenu.h"
#include "FormFixture.h"
#include "app/ChartGrid.h"

#include "app/Controls.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QTest>

Q_DECLARE_METATYPE(ElementCode)

namespace {

using E = ElementCode;

constexpr quint32 White = 0xFFFFFF, Orange = 0xFFC080, Red = 0xFFC0C0;

} // namespace

// The chart and the window from the keyboard alone, with real key events.
class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nothingShowsUntilAKey();
    void tabComesInOnFirstCellOfPageShown();
    void moves_data();
    void moves();
    void statusClearedAsByClicks_data();
    void statusClearedAsByClicks();
    void actAtCursor_data();
    void actAtCursor();
    void busy_data();
    void busy();
    void shiftSelectsAndCopies();
    void pasteAtCursor();
    void menuKeys_data();
    void menuKeys();
    void tabOrder();
    void groupTabsByKeyboard();

private:
    QImage picture(const char* holder) const { return holderImage(*w->form, holder); }
    const E& data(int step, int channel) const { return w->form->document().PatternData().at(step, channel); }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "";
    }
    QRect framed(int first, int last) const
    {
        return w->cell(first).geometry().united(w->cell(last).geometry()).adjusted(-2, -2, 2, 2);
    }
    std::unique_ptr<StartedForm> w;
};

void TestKeyboard::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
    setClipboardText({});
}

void TestKeyboard::cleanup()
{
    w.reset();
}

void TestKeyboard::nothingShowsUntilAKey()
{
    // The first control of the window has the focus at start, and nothing shows it.
    QCOMPARE(focused(), "Label1");
    const QImage start = w->form->grab().toImage();
    QCOMPARE(cursorShownAt(*w), std::nullopt);

    // A click gives the chart the keyboard, with the cursor on the cell clicked but unseen:
    // beside the cell clicked, which took UP, the window looks as before.
    w->clickCell(12);
    QCOMPARE(focused(), "Picture1");
    QImage clicked = w->form->grab().toImage();
    const QRect cell12 = w->cell(12).geometry();
    QCOMPARE(clicked.copy(cell12), picture("UP").convertToFormat(clicked.format()));
    QPainter(&clicked).drawImage(cell12.topLeft(), start.copy(cell12));
    QCOMPARE(clicked, start);

    // The first arrow shows the cursor and moves it from the cell clicked. It frames the cell
    // from outside, so its picture stays whole, and so do those above and below it.
    pressKeys(*w, "Right");
    QCOMPARE(cursorShownAt(*w), 17);
    const QImage shot = w->form->grab().toImage();
    const QImage off = picture("OFF").convertToFormat(shot.format());
    for (int index : {16, 17, 18})
        QCOMPARE(shot.copy(w->cell(index).geometry()), off);

    // Leaving the chart hides the cursor; a click on another cell puts it there, unseen again.
    pressKeys(*w, "Tab");
    QCOMPARE(focused(), "Command6");
    QCOMPARE(cursorShownAt(*w), std::nullopt);
    w->clickCell(40);
    QCOMPARE(cursorShownAt(*w), std::nullopt);
    pressKeys(*w, "Up");
    QCOMPARE(cursorShownAt(*w), 40);
    w->clickCell(41);
    QCOMPARE(cursorShownAt(*w), std::nullopt);
}

void TestKeyboard::tabComesInOnFirstCellOfPageShown()
{
    w->click("Command7");
    w->clickCell(57);
    pressKeys(*w, "Down Tab");
    QCOMPARE(focused(), "Command6");
    pressKeys(*w, "Shift+Tab");
    QCOMPARE(focused(), "Picture1");
    QCOMPARE(cursorShownAt(*w), 0);
    QCOMPARE(w->form->state().CurrentPage, 1);
    pressKeys(*w, "Space");
    QVERIFY(data(40, 0) == E::number(0));
}

void TestKeyboard::moves_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("page");  // shown before the cell is clicked
    QTest::addColumn<int>("start"); // the grid member clicked
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("toPage");
    QTest::addColumn<int>("toGroup");
    QTest::addColumn<int>("cursor"); // the grid member the cursor frames then

    // clang-format off
    QTest::newRow("right") << 80 << 0 << 0 << "Right" << 0 << 0 << 5;
    QTest::newRow("right, down, down") << 80 << 0 << 0 << "Right Down Down" << 0 << 0 << 7;
    QTest::newRow("down at CH5 shows the cursor") << 80 << 0 << 4 << "Down" << 0 << 0 << 4;
    QTest::newRow("up at CH1") << 80 << 0 << 5 << "Up" << 0 << 0 << 5;
    QTest::newRow("left at step 1") << 80 << 0 << 0 << "Left" << 0 << 0 << 0;
    QTest::newRow("right from step 40 to 41") << 80 << 0 << 197 << "Right" << 1 << 0 << 2;
    QTest::newRow("left from step 41 to 40") << 80 << 1 << 3 << "Left" << 0 << 0 << 198;
    QTest::newRow("right at step 80") << 80 << 1 << 199 << "Right" << 1 << 0 << 199;
    QTest::newRow("right past the step count") << 12 << 0 << 57 << "Right" << 0 << 0 << 62;
    QTest::newRow("home from page 2") << 80 << 1 << 27 << "Home" << 0 << 0 << 2;
    QTest::newRow("end, 80 steps") << 80 << 0 << 1 << "End" << 1 << 0 << 196;
    QTest::newRow("end, 45 steps") << 45 << 0 << 1 << "End" << 1 << 0 << 21;
    QTest::newRow("end, 12 steps, from page 2") << 12 << 1 << 3 << "End" << 0 << 0 << 58;
    QTest::newRow("page down: step 5 to step 45") << 80 << 0 << 22 << "PgDown" << 1 << 0 << 22;
    QTest::newRow("page down on page 2") << 80 << 1 << 22 << "PgDown" << 1 << 0 << 22;
    QTest::newRow("page up") << 80 << 1 << 22 << "PgUp" << 0 << 0 << 22;
    QTest::newRow("next group") << 80 << 0 << 13 << "Ctrl+PgDown" << 0 << 1 << 13;
    QTest::newRow("previous group at group A") << 80 << 0 << 13 << "Ctrl+PgUp" << 0 << 0 << 13;
    QTest::newRow("group H, then no next") << 80 << 0 << 13 << "Ctrl+8 Ctrl+PgDown" << 0 << 7 << 13;
    QTest::newRow("next, then previous group") << 80 << 0 << 13 << "Ctrl+PgDown Ctrl+PgUp" << 0 << 0 << 13;
    QTest::newRow("group C on page 2") << 80 << 1 << 13 << "Ctrl+3" << 1 << 2 << 13;
    QTest::newRow("group D, then page 2") << 80 << 0 << 13 << "Ctrl+4 PgDown" << 1 << 3 << 13;
    // clang-format on
}

void TestKeyboard::moves()
{
    QFETCH(int, stepCount);
    QFETCH(int, page);
    QFETCH(int, start);
    QFETCH(QString, keys);
    QFETCH(int, toPage);
    QFETCH(int, toGroup);
    QFETCH(int, cursor);

    if (stepCount != 80)
        w->chooseItem("Combo1", QString::number(stepCount));
    if (page == 1)
        w->click("Command7");
    w->clickCell(start);
    pressKeys(*w, keys);
    verifyView(*w, toGroup, toPage);
    QCOMPARE(cursorShownAt(*w), cursor);
    QCOMPARE(focused(), "Picture1");
}

// Keys that switch the group or the page, or act on a cell, clear the result shown beside
// 書込 as the clicks they stand for do; moving the cursor on the page shown is no edit.
void TestKeyboard::statusClearedAsByClicks_data()
{
    QTest::addColumn<QString>("setUp"); // keys pressed first, which clear nothing
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("clears");

    // clang-format off
    QTest::newRow("arrow") << "" << "Right" << false;
    QTest::newRow("arrow that cannot move") << "" << "Up" << false;
    QTest::newRow("page down") << "" << "PgDown" << true;
    QTest::newRow("page up on page 1") << "" << "PgUp" << false;
    QTest::newRow("right from step 40 onto page 2") << QString("Right ").repeated(39) << "Right" << true;
    QTest::newRow("next group") << "" << "Ctrl+PgDown" << true;
    QTest::newRow("tab of the group shown") << "" << "Ctrl+1" << true;
    QTest::newRow("space") << "" << "Space" << true;
    QTest::newRow("shift with an arrow") << "" << "Shift+Right" << true;
    // clang-format on
}

void TestKeyboard::statusClearedAsByClicks()
{
    QFETCH(QString, setUp);
    QFETCH(QString, keys);
    QFETCH(bool, clears);

    w->failTransfer();
    tabIntoChart(*w);
    pressKeys(*w, setUp);
    QCOMPARE(w->lamp(), Red);
    pressKeys(*w, keys);
    QCOMPARE(w->lamp(), clears ? White : Red);
    QCOMPARE(w->caption(), clears ? "" : "失敗");
}

void TestKeyboard::actAtCursor_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("palette"); // a same-pattern button pressed first, if any
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<QString>("keys"); // at step 2, CH1
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<QString>("holder");

    // clang-format off
    QTest::newRow("normal, Space") << "Option1" << "" << 80 << "Space" << E::number(0) << "UP";
    QTest::newRow("normal, Return twice") << "Option1" << "" << 80 << "Return Return" << E::number(1) << "DOWN";
    QTest::newRow("normal, Enter of the keypad") << "Option1" << "" << 80 << "Enter" << E::number(0) << "UP";
    QTest::newRow("same pattern, ON") << "Option2" << "Command10" << 80 << "Space" << E::number(2) << "ON_";
    QTest::newRow("same pattern, DOWN-L(1/4)") << "Option2" << "Command33" << 80 << "Return" << E::text("?") << "DOWNQL";
    QTest::newRow("batch: nothing") << "Option3" << "" << 80 << "Space" << E::number(3) << "OFF";
    QTest::newRow("beyond the step count: nothing") << "Option1" << "" << 1 << "Space Return" << E::number(3) << "OFF";
    // clang-format on
}

void TestKeyboard::actAtCursor()
{
    QFETCH(QString, option);
    QFETCH(QString, palette);
    QFETCH(int, stepCount);
    QFETCH(QString, keys);
    QFETCH(ElementCode, value);
    QFETCH(QString, holder);

    w->click(option);
    if (!palette.isEmpty())
        w->click(palette);
    if (stepCount != 80)
        w->chooseItem("Combo1", QString::number(stepCount));
    tabIntoChart(*w);
    pressKeys(*w, "Right");
    pressKeys(*w, keys);
    QVERIFY(data(1, 0) == value);
    QCOMPARE(data(1, 0).kind(), value.kind());
    QCOMPARE(shownImage(w->cell(5)), picture(qPrintable(holder)));

    // Each press that changed the cell is one step of the history, as a click is.
    if (!(value == E::number(3)))
        for (int press = 0; press < keys.count(' ') + 1; ++press)
            pressKeys(*w, "Ctrl+Z");
    QVERIFY(data(1, 0) == E::number(3));
    QCOMPARE(shownImage(w->cell(5)), picture("OFF"));
    QCOMPARE(w->form->document().StepCount(), stepCount);
}

void TestKeyboard::busy_data()
{
    QTest::addColumn<bool>("secondPage"); // shown when the transfer starts
    QTest::addColumn<QString>("setUp");   // keys pressed during the transfer first, which edit nothing
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("cursor"); // where the cursor is after

    // clang-format off
    QTest::newRow("space") << false << "Right" << "Space" << 5;
    QTest::newRow("return") << false << "" << "Return" << 0;
    QTest::newRow("page down") << false << "Right" << "PgDown" << 5;
    QTest::newRow("right from step 40 onto page 2") << false << QString("Right ").repeated(39) << "Right" << 195;
    QTest::newRow("home from page 2") << true << "Right" << "Home" << 5;
    QTest::newRow("end onto page 2") << false << "" << "End" << 0;
    QTest::newRow("next group") << false << "" << "Ctrl+PgDown" << 0;
    QTest::newRow("group by number") << false << "" << "Ctrl+2" << 0;
    QTest::newRow("shift with an arrow") << false << "" << "Shift+Right" << 5;
    QTest::newRow("menu key") << false << "Down" << "Menu" << 1;
    // clang-format on
}

void TestKeyboard::busy()
{
    QFETCH(bool, secondPage);
    QFETCH(QString, setUp);
    QFETCH(QString, keys);
    QFETCH(int, cursor);

    w.reset();
    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(activate(busy));
    if (secondPage)
        busy.click("Command7");
    QVERIFY(busy.startTransfer());
    tabIntoChart(busy);
    pressKeys(busy, setUp);
    const WindowState before = busy.form->state();
    const PatternTable chartBefore = busy.form->document().PatternData();
    const qint16 stepCountBefore = busy.form->document().StepCount();

    if (keys == "Menu") {
        pressMenuKey();
        auto* menu = busy.get<QMenu>("ChartMenu");
        QVERIFY(menu && menu->isVisible());
        for (QAction* item : menu->actions())
            QVERIFY2(item->isSeparator() || !item->isEnabled(), qPrintable(item->text()));
        closeChartMenu(busy);
    } else {
        pressKeys(busy, keys);
    }

    const WindowState& after = busy.form->state();
    QVERIFY(busy.form->document().PatternData() == chartBefore);
    QCOMPARE(busy.form->document().StepCount(), stepCountBefore);
    QCOMPARE(after.CurrentGroup, before.CurrentGroup);
    QCOMPARE(after.CurrentPage, before.CurrentPage);
    QCOMPARE(busy.lamp(), Orange);
    QCOMPARE(busy.caption(), "処理中");
    QCOMPARE(selectionFrameShown(busy), std::nullopt);
    QCOMPARE(cursorShownAt(busy), cursor);
    QCOMPARE(busy.line.take(), QByteArray()); // the transfer goes on undisturbed
}

void TestKeyboard::shiftSelectsAndCopies()
{
    w->load(patternFile({{0, 3, "0"}, {0, 4, "\":\""}, {1, 3, "9"}, {1, 4, "\"?\""}, {2, 4, "1"}}));
    const PatternTable loaded = w->form->document().PatternData();

    // From step 1, CH4 to step 3, CH5: the block grows from the cell the cursor left.
    tabIntoChart(*w);
    pressKeys(*w, "Down Down Down Shift+Right Shift+Right Shift+Down");
    QCOMPARE(selectionFrameShown(*w), framed(3, 14));
    QCOMPARE(cursorShownAt(*w), 14);
    QVERIFY(w->form->document().PatternData() == loaded);
    pressKeys(*w, "Ctrl+C");
    QCOMPARE(clipboardText(), "0\t\":\"\n9\t\"?\"\n3\t1\n");

    // It shrinks back towards where it began; a plain arrow moves only the cursor.
    pressKeys(*w, "Shift+Left Right");
    QCOMPARE(selectionFrameShown(*w), framed(3, 9));
    QCOMPARE(cursorShownAt(*w), 14);
    pressKeys(*w, "Ctrl+C");
    QCOMPARE(clipboardText(), "0\t\":\"\n9\t\"?\"\n");

    // The selection stays on the page shown: Shift does not take the cursor across.
    pressKeys(*w, "Escape" + QString(" Right").repeated(37) + " Shift+Right");
    QCOMPARE(w->form->state().CurrentPage, 0);
    QCOMPARE(selectionFrameShown(*w), std::nullopt);
    QCOMPARE(cursorShownAt(*w), 199);

    // A selection begun with Shift and a click grows from that cell.
    shiftClickCell(*w, 100);
    pressKeys(*w, "Shift+Down Shift+Left");
    QCOMPARE(selectionFrameShown(*w), framed(95, 101));
    QCOMPARE(cursorShownAt(*w), 96);
}

void TestKeyboard::pasteAtCursor()
{
    setClipboardText("1\t2\n");
    w->pointAt(0);
    tabIntoChart(*w);
    pressKeys(*w, "Right Right Down Ctrl+V"); // at step 3, CH2
    QVERIFY(data(2, 1) == E::number(1));
    QVERIFY(data(2, 2) == E::number(2));
    QVERIFY(data(0, 0) == E::number(3));
    QCOMPARE(shownImage(w->cell(11)), picture("DOWN"));

    // Without the cursor shown, the paste goes under the pointer as before.
    pressKeys(*w, "Tab Ctrl+V");
    QVERIFY(data(0, 0) == E::number(1));
}

void TestKeyboard::menuKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("Menu key") << "Menu";
    QTest::newRow("Shift+F10") << "Shift+F10";
}

void TestKeyboard::menuKeys()
{
    QFETCH(QString, key);

    setClipboardText("5\n");
    tabIntoChart(*w);
    pressKeys(*w, "Down Down" + QString(" Right").repeated(11)); // step 12, CH3
    if (key == "Menu")
        pressMenuKey();
    else
        pressKeys(*w, key);
    auto* menu = w->get<QMenu>("ChartMenu");
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->pos(), w->chart()->mapToGlobal(w->cell(57).centre()));
    QVERIFY(menuItem(menu, "このチャネル（グループA の CH3）の80ステップをコピー"));
    QVERIFY(menuItem(menu, "このステップ（12）の40チャネルをコピー"));
    QAction* paste = menuItem(menu, "貼り付け");
    QVERIFY(paste && paste->isEnabled());
    const QPoint at = menu->actionGeometry(paste).center();
    QTest::mouseMove(menu, at);
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    closeChartMenu(*w);
    QVERIFY(data(11, 2) == E::number(5));

    // The keyboard comes back to the chart, with the cursor where it was.
    QCOMPARE(focused(), "Picture1");
    QCOMPARE(cursorShownAt(*w), 57);
}

void TestKeyboard::tabOrder()
{
    // clang-format off
    const QStringList order = {
        "Label1", "Picture1", "Command6", "Command7", "Option1",
        "Command8", "Command9", "Command10", "Command11", "Command16", "Command17", "Command18", "Command19",
        "Command20", "Command21", "Command28", "Command29", "Command30", "Command31", "Command32", "Command33",
        "Combo2", "Combo3", "Combo4",
        "Command12", "Command13", "Command14", "Command15", "Command22", "Command23", "Command24", "Command25",
        "Command26", "Command27", "Command34", "Command35", "Command36", "Command37", "Command38", "Command39",
        "Combo1", "Command1", "disp1", "Command2", "Command3", "Command4", "Command5", "Comportbox"};
    // clang-format on
    QCOMPARE(focused(), "Label1");
    QStringList forwards;
    for (qsizetype i = 0; i < order.size(); ++i) {
        forwards << focused();
        pressKeys(*w, "Tab");
    }
    QCOMPARE(forwards, order);
    QCOMPARE(focused(), "Label1"); // round again

    QStringList backwards;
    for (qsizetype i = 0; i < order.size(); ++i) {
        pressKeys(*w, "Shift+Tab");
        backwards.prepend(focused());
    }
    QCOMPARE(backwards, order);

    // The three mode options are one stop, at the option chosen; the arrow keys choose.
    w->get<QWidget>("Option1")->setFocus();
    pressKeys(*w, "Down");
    QCOMPARE(focused(), "Option2");
    QVERIFY(w->get<QRadioButton>("Option2")->isChecked());
    QCOMPARE(w->form->state().EditMode, EditingMode::SamePattern);
    pressKeys(*w, "Tab");
    QCOMPARE(focused(), "Command8");
    pressKeys(*w, "Shift+Tab");
    QCOMPARE(focused(), "Option2");
}

// The group tabs are one stop of Tab, at the group shown; Left and Right go to the tab before
// or after and show its group.
void TestKeyboard::groupTabsByKeyboard()
{
    const auto look = [&](const char* name) {
        return w->form->grab().toImage().copy(w->get<QWidget>(name)->geometry());
    };
    // The first tab has the focus at start and shows nothing of it.
    const QImage unfocused = look("Label1");
    pressKeys(*w, "Right");
    QCOMPARE(focused(), "Label2");
    verifyView(*w, 1, 0);
    pressKeys(*w, "Left Left");
    QCOMPARE(focused(), "Label8"); // round from A to H
    verifyView(*w, 7, 0);
    pressKeys(*w, "Tab");
    QCOMPARE(focused(), "Picture1");
    pressKeys(*w, "Shift+Tab");
    QCOMPARE(focused(), "Label8");
    // The keyboard brought the focus there, so the tab shows it.
    pressKeys(*w, "Right");
    QCOMPARE(focused(), "Label1");
    QVERIFY(look("Label1") != unfocused);
    pressKeys(*w, "Tab");
    QCOMPARE(look("Label1"), unfocused);

    // Space and Return press the tab with the focus as a click does: the group is shown
    // afresh, without the selection made in it.
    for (const char* press : {"Space", "Return"}) {
        pressKeys(*w, "Shift+Right");
        QVERIFY(selectionFrameShown(*w));
        pressKeys(*w, QStringLiteral("Shift+Tab %1").arg(QLatin1String(press)));
        QCOMPARE(selectionFrameShown(*w), std::nullopt);
        verifyView(*w, 0, 0);
        pressKeys(*w, "Tab");
    }

    // A click on a tab leaves the keyboard where it is.
    tabIntoChart(*w);
    w->click("Label7");
    verifyView(*w, 6, 0);
    QCOMPARE(focused(), "Picture1");
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
