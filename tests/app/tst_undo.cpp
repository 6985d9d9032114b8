#include "ChartMenu.h"
#include "FormFixture.h"

#include "app/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

namespace {

using E = ElementCode;

const QString LastChart = QStringLiteral("前回終了時のチャート.txt");
const QString Restore = QStringLiteral("前回終了時のチャートに戻す");

constexpr QKeyCombination Undo = Qt::CTRL | Qt::Key_Z;
constexpr QKeyCombination Redo = Qt::CTRL | Qt::Key_Y;
constexpr QKeyCombination RedoOther = Qt::CTRL | Qt::SHIFT | Qt::Key_Z;

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void batchFillUndoneAndRedone();
    void cellClicksUndoneOneByOne();
    void loadUndone();
    void stepCountUndoneFromItsBox();
    void menuNamesEachStep();
    void chartAtExitRestoredAfterRestart();
    void startUpChartNotKeptAtExit();
    void chartAtExitNotSavedSaysWhy();
    void damagedChartAtExitNotRestored();
    void busy_data();
    void busy();

private:
    QImage picture(const char* holder) const { return holderImage(*w->form, holder); }
    const E& data(int step, int channel) const { return w->form->document().PatternData().at(step, channel); }
    std::unique_ptr<StartedForm> w;
};

void TestUndo::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
    QVERIFY(activate(*w));
}

void TestUndo::cleanup()
{
    w.reset();
}

void TestUndo::batchFillUndoneAndRedone()
{
    // ON-1/2 over steps 41 to 50 of channel 2 of group C, filled while page 1 is shown.
    w->click("Option3");
    w->chooseItem("Combo2", "2");
    w->chooseItem("Combo3", "41");
    w->chooseItem("Combo4", "50");
    w->click("Label3");
    w->click("Command34");
    QVERIFY(data(40, 11) == E::text(":"));
    w->click("Label1");
    w->failTransfer(); // a result on the status display, which undo clears as any edit does

    pressKeys(*w, Undo);
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
    verifyView(*w, 2, 1);
    for (int step = 40; step < 50; ++step)
        QVERIFY(data(step, 11) == E::number(3));
    for (int column = 0; column < 10; ++column)
        QCOMPARE(shownImage(w->cell(5 * column + 1)), picture("OFF"));

    pressKeys(*w, Redo);
    verifyView(*w, 2, 1);
    for (int column = 0; column < 10; ++column) {
        QVERIFY(data(40 + column, 11) == E::text(":"));
        QCOMPARE(shownImage(w->cell(5 * column + 1)), picture("ONHF"));
    }
    QCOMPARE(shownImage(w->cell(5 * 10 + 1)), picture("OFF"));

    // Redo by the other keys, from elsewhere: the view comes back to the fill.
    pressKeys(*w, Undo);
    w->click("Command6");
    w->click("Label8");
    pressKeys(*w, RedoOther);
    verifyView(*w, 2, 1);
    QCOMPARE(shownImage(w->cell(1)), picture("ONHF"));
    QCOMPARE(w->shape("Shape5")->left(), 522.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 0.75);

    // Nothing left to redo: the keys change nothing.
    pressKeys(*w, Redo);
    QVERIFY(data(40, 11) == E::text(":"));
}

void TestUndo::cellClicksUndoneOneByOne()
{
    w->clickCell(0); // UP
    w->clickCell(0); // DOWN
    w->click("Option2");
    w->click("Command10"); // ON
    w->clickCell(6);
    w->clickCell(6); // ON over ON again: nothing to undo there

    pressKeys(*w, Undo);
    QVERIFY(data(1, 1) == E::number(3));
    QCOMPARE(shownImage(w->cell(6)), picture("OFF"));
    QVERIFY(data(0, 0) == E::number(1));
    pressKeys(*w, Undo);
    QVERIFY(data(0, 0) == E::number(0));
    QCOMPARE(shownImage(w->cell(0)), picture("UP"));
    pressKeys(*w, Undo);
    QVERIFY(data(0, 0) == E::number(3));
    QCOMPARE(shownImage(w->cell(0)), picture("OFF"));
    QVERIFY(w->form->document().PatternData() == startUpChart());

    // A new edit after undoing drops what could have been redone.
    w->clickCell(10);
    pressKeys(*w, Redo);
    QVERIFY(data(0, 0) == E::number(3));
    QVERIFY(data(2, 0) == E::number(2));
}

void TestUndo::loadUndone()
{
    w->click("Label2");
    w->load(patternFile({{0, 0, "1"}, {45, 12, "\">\""}}, "12"));
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "12");

    pressKeys(*w, Undo);
    // The view goes to the first cell the load changed: group A, page 1.
    verifyView(*w, 0, 0);
    QVERIFY(w->form->document().PatternData() == startUpChart());
    QCOMPARE(w->form->document().StepCount(), 80);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "80");
    QCOMPARE(shownImage(w->cell(0)), picture("OFF"));
    QCOMPARE(w->shape("Shape5")->left(), 522.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 0.75);

    pressKeys(*w, Redo);
    QVERIFY(data(0, 0) == E::number(1));
    QVERIFY(data(45, 12) == E::text(">"));
    QCOMPARE(w->form->document().StepCount(), 12);
    QCOMPARE(w->get<QComboBox>("Combo1")->currentText(), "12");
    QCOMPARE(shownImage(w->cell(0)), picture("DOWN"));
    QCOMPARE(w->shape("Shape5")->left(), 186.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 336.75);
}

// The chart menu names the step that undo and redo would take, newest first.
void TestUndo::menuNamesEachStep()
{
    const auto itemText = [&](const QString& caption) {
        QMenu* menu = openChartMenu(*w, 0);
        QAction* item = menu ? menuItem(menu, caption) : nullptr;
        const QString text = item && item->isEnabled() ? item->text().section(QChar('\t'), 0, 0) : QString();
        closeChartMenu(*w);
        return text;
    };
    QCOMPARE(itemText("元に戻す"), QString());

    w->clickCell(0);
    QCOMPARE(itemText("元に戻す"), "元に戻す: セルの変更");
    w->click("Option3");
    w->click("Command13"); // DOWN over step 1 of channel 1
    QCOMPARE(itemText("元に戻す"), "元に戻す: 一括設定");
    w->chooseItem("Combo1", "12");
    QCOMPARE(itemText("元に戻す"), "元に戻す: ステップ数の変更");
    w->load(patternFile({{3, 3, "5"}}));
    QCOMPARE(itemText("元に戻す"), "元に戻す: 呼出");
    setClipboardText("9\t9\n");
    QVERIFY(chooseFromChartMenu(*w, 0, "貼り付け"));
    QCOMPARE(itemText("元に戻す"), "元に戻す: 貼り付け");

    pressKeys(*w, Undo);
    QCOMPARE(itemText("やり直し"), "やり直し: 貼り付け");
    QCOMPARE(itemText("元に戻す"), "元に戻す: 呼出");
    QVERIFY(chooseFromChartMenu(*w, 0, "元に戻す"));
    QCOMPARE(itemText("やり直し"), "やり直し: 呼出");
}

void TestUndo::stepCountUndoneFromItsBox()
{
    w->click("Command7");
    auto* combo = w->get<QComboBox>("Combo1");
    w->chooseItem("Combo1", "50");
    w->chooseItem("Combo1", "50"); // the same count again is no step
    combo->setFocus();
    QCOMPARE(QApplication::focusWidget(), combo);
    QTest::keyClicks(combo, "7"); // typed, never chosen

    pressKeys(*w, Undo);
    QCOMPARE(w->form->document().StepCount(), 80);
    QCOMPARE(combo->currentText(), "80");
    QCOMPARE(w->shape("Shape5")->left(), 522.0);
    verifyView(*w, 0, 1); // a step count has no cell: the view stays

    pressKeys(*w, RedoOther);
    QCOMPARE(w->form->document().StepCount(), 50);
    QCOMPARE(combo->currentText(), "50");
    QCOMPARE(w->shape("Shape5")->left(), 162.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 360.75);
    QCOMPARE(QApplication::focusWidget(), combo);

    // What is typed into the box still counts for nothing.
    QTest::keyClicks(combo, "9");
    QTest::keyClick(combo, Qt::Key_Return);
    QCOMPARE(w->form->document().StepCount(), 50);
    QCOMPARE(combo->currentText(), "50");
}

void TestUndo::chartAtExitRestoredAfterRestart()
{
    w->load(patternFile({{3, 7, "\"=\""}, {79, 39, "5"}}, "33"));
    w->clickCell(0);
    QVERIFY(w->form->close());
    const QByteArray kept = patternFile({{0, 0, "0"}, {3, 7, "\"=\""}, {79, 39, "5"}}, "33");
    QCOMPARE(readFile(QDir(w->folder.dataFolder()).filePath(LastChart)), kept);

    // The next run of the same user.
    StartedForm next;
    QVERIFY(next.start());
    QVERIFY(!chooseFromChartMenu(next, 0, Restore)); // nothing kept for this user yet
    QVERIFY(QDir().mkpath(next.folder.dataFolder()));
    QVERIFY(writeFile(QDir(next.folder.dataFolder()).filePath(LastChart), kept));
    next.click("Label2"); // group B, where the first kept cell is not
    QVERIFY(chooseFromChartMenu(next, 0, Restore));
    const WindowState& state = next.form->state();
    const ChartDocument& document = next.form->document();
    QVERIFY(document.PatternData().at(0, 0) == E::number(0));
    QVERIFY(document.PatternData().at(3, 7) == E::text("="));
    QVERIFY(document.PatternData().at(79, 39) == E::number(5));
    QCOMPARE(document.StepCount(), 33);
    QCOMPARE(next.get<QComboBox>("Combo1")->currentText(), "33");
    QCOMPARE(shownImage(next.cell(17)), holderImage(*next.form, "UPQH")); // step 4, channel 8 = B CH3
    QCOMPARE(next.shape("Shape5")->left(), 438.0);
    QVERIFY(next.boxes.shown.isEmpty()); // nothing asked

    // One step of the history.
    pressKeys(next, Undo);
    QVERIFY(document.PatternData() == startUpChart());
    QCOMPARE(next.get<QComboBox>("Combo1")->currentText(), "80");
    QCOMPARE(state.CurrentGroup, 0); // where the first restored cell is
}

void TestUndo::startUpChartNotKeptAtExit()
{
    // What an earlier run kept is not replaced by a chart that holds no work.
    const QString file = QDir(w->folder.dataFolder()).filePath(LastChart);
    QVERIFY(QDir().mkpath(w->folder.dataFolder()));
    const QByteArray earlier = patternFile({{0, 0, "2"}}, "40");
    QVERIFY(writeFile(file, earlier));
    w->clickCell(0);
    pressKeys(*w, Undo);
    QVERIFY(w->form->close());
    QCOMPARE(readFile(file), earlier);
}

void TestUndo::chartAtExitNotSavedSaysWhy()
{
    // A plain file where the data folder should be: the window still closes, asks nothing,
    // and one line on standard error names the file.
    QVERIFY(QDir().mkpath(QFileInfo(w->folder.dataFolder()).path()));
    QVERIFY(writeFile(w->folder.dataFolder(), "not a folder"));
    w->clickCell(0);
    const QString file = QDir::toNativeSeparators(QDir(w->folder.dataFolder()).filePath(LastChart));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^[^\\n]*" + QRegularExpression::escape(file) +
                                                          "[^\\n]*: [^\\n]+$"));
    QVERIFY(w->form->close());
    QVERIFY(w->boxes.shown.isEmpty());
    QCOMPARE(readFile(w->folder.dataFolder()), "not a folder");
}

void TestUndo::damagedChartAtExitNotRestored()
{
    QVERIFY(QDir().mkpath(w->folder.dataFolder()));
    const QString file = QDir(w->folder.dataFolder()).filePath(LastChart);
    QVERIFY(writeFile(file, OffLine.repeated(3)));
    w->clickCell(0);
    QVERIFY(chooseFromChartMenu(*w, 0, Restore));
    QCOMPARE(w->boxes.shown.size(), 1);
    const MessageRequest& box = w->boxes.shown.first();
    QCOMPARE(box.title, Restore);
    QCOMPARE(box.text, "「前回終了時のチャート.txt」：ファイルが壊れています（値が足りません）。\n" +
                           QDir::toNativeSeparators(file));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY(data(0, 0) == E::number(0));
    // The click before is still the step undone.
    pressKeys(*w, Undo);
    QVERIFY(w->form->document().PatternData() == startUpChart());
}

void TestUndo::busy_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("undo") << "undo";
    QTest::newRow("redo") << "redo";
    QTest::newRow("redo, other keys") << "redo other";
    QTest::newRow("copy") << "copy";
    QTest::newRow("paste") << "paste";
    QTest::newRow("escape") << "escape";
    QTest::newRow("shift-click") << "shift-click";
    QTest::newRow("chart menu") << "menu";
}

void TestUndo::busy()
{
    QFETCH(QString, action);

    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(activate(busy));
    QVERIFY(QDir().mkpath(busy.folder.dataFolder()));
    QVERIFY(writeFile(QDir(busy.folder.dataFolder()).filePath(LastChart), patternFile({}, "7")));
    // Something for every action to act on: a step to undo and one to redo, a selection,
    // text on the clipboard, the pointer over a cell.
    busy.clickCell(0);
    busy.clickCell(5);
    pressKeys(busy, Undo);
    shiftClickCell(busy, 10);
    shiftClickCell(busy, 16);
    setClipboardText("0\t1\n");
    busy.pointAt(30);
    const std::optional<QRect> framed = selectionFrameShown(busy);
    QVERIFY(framed);

    QVERIFY(busy.startTransfer());
    const WindowState before = busy.form->state();
    const PatternTable chartBefore = busy.form->document().PatternData();
    const qint16 stepCountBefore = busy.form->document().StepCount();
    if (action == "menu") {
        QMenu* menu = openChartMenu(busy, 0);
        QVERIFY(menu);
        for (QAction* item : menu->actions())
            QVERIFY2(item->isSeparator() || !item->isEnabled(), qPrintable(item->text()));
        closeChartMenu(busy);
    } else if (action == "shift-click") {
        shiftClickCell(busy, 100);
    } else {
        const QKeyCombination keys = action == "undo"         ? Undo
                                     : action == "redo"       ? Redo
                                     : action == "redo other" ? RedoOther
                                     : action == "copy"       ? QKeyCombination(Qt::CTRL | Qt::Key_C)
                                     : action == "paste"      ? QKeyCombination(Qt::CTRL | Qt::Key_V)
                                                              : QKeyCombination(Qt::Key_Escape);
        pressKeys(busy, keys);
    }

    const WindowState& after = busy.form->state();
    QVERIFY(busy.form->document().PatternData() == chartBefore);
    QCOMPARE(busy.form->document().StepCount(), stepCountBefore);
    QCOMPARE(after.CurrentGroup, before.CurrentGroup);
    QCOMPARE(after.CurrentPage, before.CurrentPage);
    QCOMPARE(busy.lamp(), 0xFFC080u);
    QCOMPARE(busy.caption(), "処理中");
    QCOMPARE(clipboardText(), "0\t1\n");
    QCOMPARE(selectionFrameShown(busy), framed);
    QVERIFY(busy.boxes.shown.isEmpty());
    QCOMPARE(busy.line.take(), QByteArray()); // the transfer goes on undisturbed
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
