#include "FormFixture.h"

#include "app/Controls.h"
#include "transfer/ControllerTransfer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QWheelEvent>

Q_DECLARE_METATYPE(ElementCode)
Q_DECLARE_METATYPE(EditingMode)

namespace {

using E = ElementCode;

// The status display of a running transfer.
constexpr quint32 Orange = 0xFFC080;
const QString Processing = QStringLiteral("処理中");

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void normalCycle();
    void normalOutsideCycle_data();
    void normalOutsideCycle();
    void samePattern_data();
    void samePattern();
    void onlyStepsInUseRespond_data();
    void onlyStepsInUseRespond();
    void clickLandsInGroupAndPage();
    void batchModeCellClick();
    void paletteOfOtherMode_data();
    void paletteOfOtherMode();
    void batchFill_data();
    void batchFill();
    void modesKeepChoice();
    void rangeBoxes();
    void typedText_data();
    void typedText();
    void wheelAndArrowsStepFromValueShown_data();
    void wheelAndArrowsStepFromValueShown();
    void groupTabs();
    void pages();
    void pagesWithShortPattern();
    void stepCount_data();
    void stepCount();
    void busy_data();
    void busy();
    void optionsActWhileBusy_data();
    void optionsActWhileBusy();

private:
    QImage picture(const char* holder) const { return holderImage(*w->form, holder); }
    const E& data(int step, int channel) const { return w->form->document().PatternData().at(step, channel); }
    std::unique_ptr<StartedForm> w;
};

void TestEditing::init()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
}

void TestEditing::cleanup()
{
    w.reset();
}

void TestEditing::normalCycle()
{
    const struct
    {
        int code;
        const char* holder;
    } cycle[] = {{0, "UP"}, {1, "DOWN"}, {2, "ON_"}, {3, "OFF"}};
    for (const auto& expected : cycle) {
        w->failTransfer();
        w->clickCell(0);
        QVERIFY(data(0, 0) == E::number(expected.code));
        QCOMPARE(shownImage(w->cell(0)), picture(expected.holder));
        QCOMPARE(w->lamp(), 0xFFFFFFu);
        QCOMPARE(w->caption(), "");
    }
}

void TestEditing::normalOutsideCycle_data()
{
    QTest::addColumn<QByteArray>("field"); // as a loaded pattern file holds it
    QTest::addColumn<ElementCode>("value");
    QTest::newRow("UP-L") << QByteArray("4") << E::number(4);
    QTest::newRow("OFF-ON") << QByteArray("9") << E::number(9);
    QTest::newRow("ON-1/2") << QByteArray("\":\"") << E::text(":");
    QTest::newRow("text 3 is not OFF") << QByteArray("\"3\"") << E::text("3");
    QTest::newRow("number 10") << QByteArray("10") << E::number(10);
}

void TestEditing::normalOutsideCycle()
{
    QFETCH(QByteArray, field);
    QFETCH(ElementCode, value);
    w->load(patternFile({{5, 2, field}}));
    const QImage shown = shownImage(w->cell(27));
    w->failTransfer();
    w->clickCell(27); // column 5, row 2
    QVERIFY(data(5, 2) == value);
    QCOMPARE(data(5, 2).kind(), value.kind());
    QCOMPARE(shownImage(w->cell(27)), shown);
    QCOMPARE(w->lamp(), 0xFFFFFFu);
}

void TestEditing::samePattern_data()
{
    QTest::addColumn<QString>("button"); // empty: no palette button pressed
    QTest::addColumn<ElementCode>("placed");
    QTest::addColumn<QString>("holder");

    QTest::newRow("UP without a choice") << "" << E::number(0) << "UP";
    QTest::newRow("ON") << "Command10" << E::number(2) << "ON_";
    QTest::newRow("UP-L") << "Command16" << E::number(4) << "UPLM";
    QTest::newRow("OFF-ON") << "Command21" << E::number(9) << "OFFON";
    QTest::newRow("ON-1/2") << "Command28" << E::text(":") << "ONHF";
    QTest::newRow("DOWN-H(1/4)") << "Command32" << E::text(">") << "DOWNQH";
    QTest::newRow("DOWN-L(1/4)") << "Command33" << E::text("?") << "DOWNQL";
}

void TestEditing::samePattern()
{
    QFETCH(QString, button);
    QFETCH(ElementCode, placed);
    QFETCH(QString, holder);

    w->click("Option2");
    QCOMPARE(w->form->state().EditMode, EditingMode::SamePattern);
    if (!button.isEmpty())
        w->click(button);
    QVERIFY(w->form->state().SelectedElement == placed);
    QCOMPARE(shownImage(w->get<QLabel>("Picture2")), picture(qPrintable(holder)));

    // The cell takes the element twice over, also when it holds it already.
    for (int round = 0; round < 2; ++round) {
        w->clickCell(12);
        QVERIFY(data(2, 2) == placed);
        QCOMPARE(data(2, 2).kind(), placed.kind());
        QCOMPARE(shownImage(w->cell(12)), picture(qPrintable(holder)));
    }
}

void TestEditing::onlyStepsInUseRespond_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("responds");

    QTest::newRow("30 steps: step 30") << 30 << 0 << 29 << true;
    QTest::newRow("30 steps: step 31") << 30 << 0 << 30 << false;
    QTest::newRow("30 steps: step 40") << 30 << 0 << 39 << false;
    QTest::newRow("45 steps: step 45") << 45 << 1 << 4 << true;
    QTest::newRow("45 steps: step 46") << 45 << 1 << 5 << false;
    QTest::newRow("40 steps: step 41") << 40 << 1 << 0 << false;
    QTest::newRow("1 step: step 1") << 1 << 0 << 0 << true;
    QTest::newRow("1 step: step 2") << 1 << 0 << 1 << false;
    QTest::newRow("80 steps: step 80") << 80 << 1 << 39 << true;
}

void TestEditing::onlyStepsInUseRespond()
{
    QFETCH(int, stepCount);
    QFETCH(int, page);
    QFETCH(int, column);
    QFETCH(bool, responds);

    w->chooseItem("Combo1", QString::number(stepCount));
    if (page == 1)
        w->click("Command7");
    w->clickCell(5 * column + 3);
    const int step = 40 * page + column;
    QCOMPARE(data(step, 3) == E::number(0), responds);
    QCOMPARE(shownImage(w->cell(5 * column + 3)) == picture("UP"), responds);
}

void TestEditing::clickLandsInGroupAndPage()
{
    w->click("Label4"); // group D
    w->click("Command7");
    w->clickCell(7); // column 1, row 2
    QVERIFY(data(41, 17) == E::number(0));
    int changed = 0;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            changed += !(data(step, channel) == E::number(3));
    QCOMPARE(changed, 1);
}

void TestEditing::batchModeCellClick()
{
    w->click("Option3");
    w->failTransfer();
    w->clickCell(0);
    QVERIFY(data(0, 0) == E::number(3));
    QCOMPARE(shownImage(w->cell(0)), picture("OFF"));
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
}

void TestEditing::paletteOfOtherMode_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("button");

    // clang-format off
    QTest::newRow("same-pattern ON in normal mode") << "Option1" << "Command10";
    QTest::newRow("same-pattern ON-1/4 in batch mode") << "Option3" << "Command29";
    QTest::newRow("batch UP in normal mode") << "Option1" << "Command12";
    QTest::newRow("batch DOWN-L(1/4) in same-pattern mode") << "Option2" << "Command39";
    // clang-format on
}

void TestEditing::paletteOfOtherMode()
{
    QFETCH(QString, option);
    QFETCH(QString, button);

    w->click(option);
    const QImage preview = shownImage(w->get<QLabel>("Picture2"));
    const PatternTable before = w->form->document().PatternData();
    w->failTransfer();
    w->click(button);
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
    QVERIFY(w->form->state().SelectedElement == E::number(0));
    QCOMPARE(shownImage(w->get<QLabel>("Picture2")), preview);
    QVERIFY(w->form->document().PatternData() == before);
}

void TestEditing::batchFill_data()
{
    QTest::addColumn<QString>("group");   // tab label clicked before the fill
    QTest::addColumn<QString>("channel"); // items chosen in the range boxes
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("button");
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<int>("chartChannel");
    QTest::addColumn<int>("firstStep");
    QTest::addColumn<int>("lastStep"); // below firstStep: nothing changes

    // clang-format off
    QTest::newRow("start-up range: step 1, channel 1") << "Label1" << "1" << "1" << "1" << "Command13" << E::number(1) << 0 << 0 << 0;
    QTest::newRow("one step") << "Label1" << "3" << "7" << "7" << "Command34" << E::text(":") << 2 << 6 << 6;
    QTest::newRow("backwards range") << "Label1" << "1" << "30" << "10" << "Command12" << E::number(0) << 0 << 29 << 28;
    QTest::newRow("both pages") << "Label1" << "5" << "1" << "80" << "Command26" << E::number(8) << 4 << 0 << 79;
    QTest::newRow("group C channel 2") << "Label3" << "2" << "11" << "20" << "Command37" << E::text("=") << 11 << 10 << 19;
    QTest::newRow("group H channel 5") << "Label8" << "5" << "40" << "41" << "Command15" << E::number(3) << 39 << 39 << 40;
    // clang-format on
}

void TestEditing::batchFill()
{
    QFETCH(QString, group);
    QFETCH(QString, channel);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, button);
    QFETCH(ElementCode, value);
    QFETCH(int, chartChannel);
    QFETCH(int, firstStep);
    QFETCH(int, lastStep);

    // Every cell starts as UP so that a fill with OFF shows too.
    w->load(patternFileOf([](int, int) { return QByteArray("0"); }));
    w->chooseItem("Combo1", "40"); // the fill ignores the step count
    w->click("Option3");
    w->chooseItem("Combo2", channel);
    w->chooseItem("Combo3", from);
    w->chooseItem("Combo4", to);
    w->click(group);
    w->click(button);

    for (int step = 0; step < 80; ++step)
        for (int ch = 0; ch < 40; ++ch) {
            const bool inRange = ch == chartChannel && step >= firstStep && step <= lastStep;
            QVERIFY2(data(step, ch) == (inRange ? value : E::number(0)),
                     qPrintable(QStringLiteral("step %1 channel %2").arg(step).arg(ch)));
        }
    // The visible page is redrawn from the data.
    const int row = chartChannel % 5;
    for (int column = 0; column < 40; ++column) {
        const bool inRange = column >= firstStep && column <= lastStep;
        const ElementCode shown = inRange ? value : E::number(0);
        QCOMPARE(shownImage(w->cell(5 * column + row)), picture(ElementHolders[*shown.ordinal()]));
    }
}

void TestEditing::modesKeepChoice()
{
    w->click("Option2");
    w->click("Command31"); // UP-H(1/4)
    w->click("Option1");
    QCOMPARE(w->form->state().EditMode, EditingMode::Normal);
    w->click("Option2");
    QCOMPARE(shownImage(w->get<QLabel>("Picture2")), picture("UPQH"));
    w->clickCell(0);
    QVERIFY(data(0, 0) == E::text("="));
}

void TestEditing::rangeBoxes()
{
    w->chooseItem("Combo2", "5");
    w->chooseItem("Combo3", "11");
    w->chooseItem("Combo4", "20");
    QCOMPARE(w->form->state().BatchChannel, 4);
    QCOMPARE(w->form->state().BatchFromStep, 10);
    QCOMPARE(w->form->state().BatchToStep, 19);
}

void TestEditing::typedText_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byReturn");   // Return, or the focus moving on
    QTest::addColumn<QString>("shown");   // what the box shows afterwards, the value in use
    QTest::addColumn<QString>("refusal"); // the message's title, or none

    // clang-format off
    QTest::newRow("step count, Return") << "Combo1" << "40" << true << "40" << "";
    QTest::newRow("batch first step, focus moves on") << "Combo3" << " 25 " << false << "25" << "";
    QTest::newRow("port in another case") << "Comportbox" << "com7" << true << "COM7" << "";
    QTest::newRow("port, focus moves on") << "Comportbox" << "COM12" << false << "COM12" << "";
    QTest::newRow("batch channel past the list") << "Combo2" << "6" << true << "1" << "一括設定のCH";
    QTest::newRow("step count no number") << "Combo1" << "abc" << false << "80" << "ステップ数";
    QTest::newRow("port past the list") << "Comportbox" << "COM21" << true << "ERROR" << "COMポートの選択";
    QTest::newRow("emptied box") << "Combo4" << "" << false << "1" << "";
    // clang-format on
}

// Text typed into a box counts as a pick once the user is done with it when it
// names an item of the list; anything else is put back with a message. What the
// box shows is always the value in use.
void TestEditing::typedText()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, byReturn);
    QFETCH(QString, shown);
    QFETCH(QString, refusal);

    // Focus moves, and so ends the typing, only in the active window.
    w->form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w->form.get()));
    auto* combo = w->get<QComboBox>(box);
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), typed);
    if (byReturn)
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    else
        w->get<QWidget>("Command1")->setFocus();

    QCOMPARE(combo->currentText(), shown);
    const WindowState& state = w->form->state();
    const QString inUse = box == "Combo1"            ? QString::number(w->form->document().StepCount())
                          : box == "Combo2"          ? QString::number(state.BatchChannel + 1)
                          : box == "Combo3"          ? QString::number(state.BatchFromStep + 1)
                          : box == "Combo4"          ? QString::number(state.BatchToStep + 1)
                          : state.PortName.isEmpty() ? QStringLiteral("ERROR")
                                                     : state.PortName;
    QCOMPARE(inUse, shown);
    QCOMPARE(combo->count(), box == "Comportbox" ? combo->count() : (box == "Combo2" ? 5 : 80));
    if (refusal.isEmpty()) {
        QVERIFY(w->boxes.shown.isEmpty());
    } else {
        QCOMPARE(w->boxes.shown.size(), 1);
        QCOMPARE(w->boxes.shown[0].title, refusal);
        QCOMPARE(w->boxes.shown[0].text, "「" + typed + "」は一覧にありません。一覧から選んでください。");
    }
    // Once done, leaving the box again changes nothing and asks nothing.
    combo->setFocus();
    w->get<QWidget>("Command1")->setFocus();
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(w->boxes.shown.size(), refusal.isEmpty() ? 0 : 1);
}

// A wheel notch or an arrow key moves to the neighbour of the value the box
// shows, and that neighbour is configured as any pick is.
void TestEditing::wheelAndArrowsStepFromValueShown_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("settings");   // Setting.ini beside the program, if any
    QTest::addColumn<QString>("loadStepCount"); // a pattern file with this step count loaded first, if any
    QTest::addColumn<int>("input");             // a key, or 0 for a wheel notch towards the user, 1 away
    QTest::addColumn<QString>("shownBefore");
    QTest::addColumn<QString>("inUseAfter");

    const int Towards = 0, Away = 1;
    const QByteArray com3 = "[Setting]\r\ncomport=COM3\r\n";
    // clang-format off
    QTest::newRow("step count, wheel away")         << "Combo1" << QByteArray() << "" << Away << "80" << "79";
    QTest::newRow("step count, Up key")             << "Combo1" << QByteArray() << "" << int(Qt::Key_Up) << "80" << "79";
    QTest::newRow("step count after a load, wheel") << "Combo1" << QByteArray() << "40" << Towards << "40" << "41";
    QTest::newRow("batch channel, wheel towards")   << "Combo2" << QByteArray() << "" << Towards << "1" << "2";
    QTest::newRow("batch first step, Down key")     << "Combo3" << QByteArray() << "" << int(Qt::Key_Down) << "1" << "2";
    QTest::newRow("batch last step, wheel towards") << "Combo4" << QByteArray() << "" << Towards << "1" << "2";
    QTest::newRow("restored port, wheel towards")   << "Comportbox" << com3 << "" << Towards << "COM3" << "COM4";
    QTest::newRow("restored port, Up key")          << "Comportbox" << com3 << "" << int(Qt::Key_Up) << "COM3" << "COM2";
    // A value outside the list keeps showing until the user moves: then Qt picks the first item.
    QTest::newRow("no port yet, wheel towards")     << "Comportbox" << QByteArray() << "" << Towards << "ERROR" << "COM1";
    // clang-format on
}

void TestEditing::wheelAndArrowsStepFromValueShown()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, settings);
    QFETCH(QString, loadStepCount);
    QFETCH(int, input);
    QFETCH(QString, shownBefore);
    QFETCH(QString, inUseAfter);

    w = std::make_unique<StartedForm>();
    if (!settings.isEmpty())
        QVERIFY(writeFile(w->folder.filePath("Setting.ini"), settings));
    QVERIFY(w->start());
    if (!loadStepCount.isEmpty())
        w->load(patternFile({}, loadStepCount.toLatin1()));
    auto* combo = w->get<QComboBox>(box);
    QCOMPARE(combo->currentText(), shownBefore);

    if (input > 1) {
        QTest::keyClick(combo, Qt::Key(input));
    } else {
        const QPoint centre = combo->rect().center();
        QWheelEvent notch(centre, combo->mapToGlobal(centre), {}, {0, input == 1 ? 120 : -120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &notch);
    }

    const WindowState& state = w->form->state();
    const QString inUse = box == "Combo1"   ? QString::number(w->form->document().StepCount())
                          : box == "Combo2" ? QString::number(state.BatchChannel + 1)
                          : box == "Combo3" ? QString::number(state.BatchFromStep + 1)
                          : box == "Combo4" ? QString::number(state.BatchToStep + 1)
                                            : state.PortName;
    QCOMPARE(inUse, inUseAfter);
    QCOMPARE(combo->currentText(), inUseAfter);
    if (box == "Comportbox")
        QCOMPARE(w->form->findChild<ControllerTransfer*>()->portName(), inUseAfter);
}

void TestEditing::groupTabs()
{
    w->load(patternFile({{3, 10, "2"}, {3, 14, "1"}, {3, 15, "0"}}));
    w->failTransfer();
    w->click("Label3");
    QCOMPARE(w->form->state().CurrentGroup, 2);
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
    QCOMPARE(shownImage(w->cell(15)), picture("ON_"));
    QCOMPARE(shownImage(w->cell(19)), picture("DOWN"));
    const char* tabs[] = {"Shape1", "Shape2", "Shape3", "Shape6", "Shape7", "Shape8", "Shape9", "Shape10"};
    for (int tab = 0; tab < 8; ++tab)
        QCOMPARE(w->shape(tabs[tab])->fillColor(),
                 tab == 2 ? QColor(0x80, 0x80, 0xFF) : QColor(0xC0, 0xC0, 0xFF));

    // A click on the tab shape beside its caption does nothing.
    auto* shape = w->shape("Shape6");
    w->failTransfer();
    QTest::mouseClick(w->form.get(), Qt::LeftButton, {}, shape->geometry().topLeft() + QPoint(2, 10));
    QCOMPARE(w->form->state().CurrentGroup, 2);
    QCOMPARE(w->caption(), "失敗");

    // The tab already shown resets all the same.
    w->click("Label3");
    QCOMPARE(w->form->state().CurrentGroup, 2);
    QCOMPARE(shownImage(w->cell(15)), picture("ON_"));
    QCOMPARE(w->caption(), "");
}

void TestEditing::pages()
{
    w->load(patternFile({{40, 15, "5"}}));
    w->click("Label4"); // group D: channels 15 to 19
    w->click("Command7");
    QCOMPARE(w->form->state().CurrentPage, 1);
    QCOMPARE(w->form->state().CurrentGroup, 3);
    QCOMPARE(w->get<QLabel>("Label28")->text(), "（ページ２）");
    QCOMPARE(shownImage(w->get<QLabel>("Picture4")), picture("PAGE1"));
    QCOMPARE(shownImage(w->cell(0)), picture("UPMH"));
    QCOMPARE(w->shape("Shape5")->left(), 522.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 0.75);

    // Cells edited on the second page keep their pictures across a round trip.
    w->clickCell(199);
    QVERIFY(data(79, 19) == E::number(0));
    w->click("Command6");
    QCOMPARE(w->get<QLabel>("Label28")->text(), "（ページ１）");
    QCOMPARE(shownImage(w->get<QLabel>("Picture4")), picture("PAGE0"));
    QCOMPARE(shownImage(w->cell(199)), picture("OFF"));
    w->click("Command7");
    QCOMPARE(shownImage(w->cell(199)), picture("UP"));

    // The button of the page shown only clears the status display.
    w->failTransfer();
    w->click("Command7");
    QCOMPARE(w->form->state().CurrentPage, 1);
    QCOMPARE(w->lamp(), 0xFFFFFFu);
    QCOMPARE(w->caption(), "");
}

void TestEditing::pagesWithShortPattern()
{
    w->chooseItem("Combo1", "30");
    w->click("Command7");
    QCOMPARE(w->shape("Shape5")->left(), 42.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 480.75);
    w->click("Command6");
    QCOMPARE(w->shape("Shape5")->left(), 402.0);
    QCOMPARE(w->shape("Shape5")->widthPt(), 120.75);

    // "←前へ" on the first page moves nothing.
    w->failTransfer();
    w->click("Command6");
    QCOMPARE(w->form->state().CurrentPage, 0);
    QCOMPARE(w->shape("Shape5")->left(), 402.0);
    QCOMPARE(w->caption(), "");
}

void TestEditing::stepCount_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("item");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");

    QTest::newRow("page 1, 12") << 0 << "12" << 186.0 << 336.75;
    QTest::newRow("page 1, 40") << 0 << "40" << 522.0 << 0.75;
    QTest::newRow("page 1, 41") << 0 << "41" << 522.0 << 0.75;
    QTest::newRow("page 2, 41") << 1 << "41" << 54.0 << 468.75;
    QTest::newRow("page 2, 80") << 1 << "80" << 522.0 << 0.75;
    QTest::newRow("page 2, 30") << 1 << "30" << 42.0 << 480.75;
}

void TestEditing::stepCount()
{
    QFETCH(int, page);
    QFETCH(QString, item);
    QFETCH(double, left);
    QFETCH(double, width);

    w->load(patternFile({{40 * page + 39, 0, "1"}}));
    if (page == 1)
        w->click("Command7");
    w->failTransfer();
    w->chooseItem("Combo1", item);
    QCOMPARE(w->form->document().StepCount(), item.toInt());
    QCOMPARE(w->shape("Shape5")->left(), left);
    QCOMPARE(w->shape("Shape5")->widthPt(), width);
    QCOMPARE(w->shape("Shape5")->top(), 72.0);
    QCOMPARE(w->shape("Shape5")->heightPt(), 72.75);
    QCOMPARE(w->caption(), "");
    // The cells stay as they were, also the one beyond the new count.
    QVERIFY(data(40 * page + 39, 0) == E::number(1));
    QCOMPARE(shownImage(w->cell(195)), picture("DOWN"));
}

void TestEditing::busy_data()
{
    QTest::addColumn<QString>("setUp");  // a control clicked before the transfer starts, or ""
    QTest::addColumn<QString>("action"); // "cell", "combo:<name>:<item>" or a control to click

    // clang-format off
    QTest::newRow("cell, normal mode") << "" << "cell";
    QTest::newRow("cell, same-pattern mode") << "Option2" << "cell";
    QTest::newRow("same-pattern palette") << "Option2" << "Command10";
    QTest::newRow("batch palette") << "Option3" << "Command14";
    QTest::newRow("group tab") << "" << "Label5";
    QTest::newRow("next page") << "" << "Command7";
    QTest::newRow("previous page") << "Command7" << "Command6";
    QTest::newRow("step count") << "" << "combo:Combo1:12";
    QTest::newRow("batch channel") << "" << "combo:Combo2:4";
    QTest::newRow("batch first step") << "" << "combo:Combo3:30";
    QTest::newRow("batch last step") << "" << "combo:Combo4:30";
    // clang-format on
}

void TestEditing::busy()
{
    QFETCH(QString, setUp);
    QFETCH(QString, action);

    BusyForm busy;
    QVERIFY(busy.start());
    StartedForm* w = &busy;
    if (!setUp.isEmpty())
        w->click(setUp);
    QVERIFY(busy.startTransfer());
    const WindowState before = w->form->state();
    const PatternTable chartBefore = w->form->document().PatternData();
    const qint16 stepCountBefore = w->form->document().StepCount();
    const QImage preview = shownImage(w->get<QLabel>("Picture2"));
    const QImage strip = shownImage(w->get<QLabel>("Picture4"));
    const double markerLeft = w->shape("Shape5")->left();

    if (action == "cell") {
        w->clickCell(0);
    } else if (action.startsWith("combo:")) {
        const QStringList parts = action.split(':');
        const QString shown = w->get<QComboBox>(parts[1])->currentText();
        w->chooseItem(parts[1], parts[2]);
        // The refused pick does not stay in the box: it shows the value still in use.
        QCOMPARE(w->get<QComboBox>(parts[1])->currentText(), shown);
    } else {
        w->click(action);
    }

    const WindowState& after = w->form->state();
    QVERIFY(w->form->document().PatternData() == chartBefore);
    QCOMPARE(w->form->document().StepCount(), stepCountBefore);
    QCOMPARE(after.CurrentGroup, before.CurrentGroup);
    QCOMPARE(after.CurrentPage, before.CurrentPage);
    QVERIFY(after.SelectedElement == before.SelectedElement);
    QCOMPARE(after.BatchChannel, before.BatchChannel);
    QCOMPARE(after.BatchFromStep, before.BatchFromStep);
    QCOMPARE(after.BatchToStep, before.BatchToStep);
    QCOMPARE(w->lamp(), Orange);
    QCOMPARE(w->caption(), Processing);
    QCOMPARE(shownImage(w->cell(0)), picture("OFF"));
    QCOMPARE(shownImage(w->get<QLabel>("Picture2")), preview);
    QCOMPARE(shownImage(w->get<QLabel>("Picture4")), strip);
    QCOMPARE(w->shape("Shape5")->left(), markerLeft);
    QCOMPARE(w->shape("Shape1")->fillColor(), QColor(0x80, 0x80, 0xFF));
    QCOMPARE(busy.line.take(), QByteArray()); // nothing more went out
}

void TestEditing::optionsActWhileBusy_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<EditingMode>("mode");
    QTest::newRow("batch") << "Option3" << EditingMode::Batch;
    QTest::newRow("same pattern") << "Option2" << EditingMode::SamePattern;
    QTest::newRow("normal, already chosen") << "Option1" << EditingMode::Normal;
}

void TestEditing::optionsActWhileBusy()
{
    QFETCH(QString, option);
    QFETCH(EditingMode, mode);

    BusyForm busy;
    QVERIFY(busy.start());
    QVERIFY(busy.startTransfer());
    QCOMPARE(busy.lamp(), Orange);
    QCOMPARE(busy.caption(), Processing);
    busy.click(option);
    QCOMPARE(busy.form->state().EditMode, mode);
    QVERIFY(busy.get<QRadioButton>(option)->isChecked());
    QCOMPARE(busy.lamp(), 0xFFFFFFu);
    QCOMPARE(busy.caption(), "");
    QCOMPARE(busy.form->state().BusyFlag, "1"); // the transfer goes on
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
