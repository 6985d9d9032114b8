#include "FormFixture.h"

#include "app/Controls.h"
#include "chart/ElementTable.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void freshWindow();
    void brokenPicture_data();
    void brokenPicture();
};

void TestStartup::freshWindow()
{
    StartedForm w;
    QVERIFY(w.start());
    QVERIFY(w.boxes.shown.isEmpty());

    const WindowState& state = w.form->state();
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            QVERIFY(w.form->document().PatternData().at(step, channel) == ElementCode::number(3));
    QCOMPARE(w.form->document().StepCount(), 80);
    QCOMPARE(state.CurrentGroup, 0);
    QCOMPARE(state.CurrentPage, 0);
    QCOMPARE(state.EditMode, EditingMode::Normal);
    QCOMPARE(state.BusyFlag, "0");
    QVERIFY(state.SelectedElement == ElementCode::number(0));

    const QImage off = holderImage(*w.form, "OFF");
    QVERIFY(!off.isNull());
    for (int i = 0; i < 200; ++i)
        QVERIFY2(shownImage(w.cell(i)) == off, qPrintable(QString::number(i)));
    QCOMPARE(shownImage(w.get<QLabel>("Picture2")), holderImage(*w.form, "UP"));
    QCOMPARE(shownImage(w.get<QLabel>("Picture4")), holderImage(*w.form, "PAGE0"));
    QCOMPARE(w.get<QLabel>("Label28")->text(), "（ページ１）");
    QCOMPARE(w.shape("Shape11")->fillColor(), QColor(0xFF, 0xFF, 0xFF));
    QCOMPARE(w.get<QLabel>("disp1")->text(), "");
    QCOMPARE(w.shape("Shape1")->fillColor(), QColor(0x80, 0x80, 0xFF));
    for (const char* tab : {"Shape2", "Shape3", "Shape6", "Shape7", "Shape8", "Shape9", "Shape10"})
        QCOMPARE(w.shape(tab)->fillColor(), QColor(0xC0, 0xC0, 0xFF));
    // The end marker keeps its design-time place until a step count or page asks for it.
    QCOMPARE(w.shape("Shape5")->left(), 519.0);
    QCOMPARE(w.shape("Shape5")->widthPt(), 0.75);
    QVERIFY(w.get<QRadioButton>("Option1")->isChecked());
    QCOMPARE(w.get<QComboBox>("Combo1")->currentText(), "80");
    for (const char* box : {"Combo2", "Combo3", "Combo4"})
        QCOMPARE(w.get<QComboBox>(box)->currentText(), "1");
    QVERIFY(!w.get<QTimer>("Timer1")->isActive());
    QVERIFY(!w.get<QTimer>("Timer2")->isActive());

    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    for (const ElementRow& row : ElementTable)
        QVERIFY(!w.get<QLabel>(row.holder)->isVisible());
    QVERIFY(!w.get<QLabel>("PAGE0")->isVisible());
    QVERIFY(!w.get<QLabel>("PAGE1")->isVisible());
}

void TestStartup::brokenPicture_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("present"); // present but not a picture

    QTest::newRow("UP.jpg missing") << "UP.jpg" << false;
    QTest::newRow("ON.jpg missing") << "ON.jpg" << false;
    QTest::newRow("DOWNQL.jpg missing") << "DOWNQL.jpg" << false;
    QTest::newRow("step2.jpg missing") << "step2.jpg" << false;
    QTest::newRow("OFF.jpg not a picture") << "OFF.jpg" << true;
    QTest::newRow("step1.jpg empty") << "step1.jpg" << true;
}

void TestStartup::brokenPicture()
{
    QFETCH(QString, file);
    QFETCH(bool, present);

    StartedForm w;
    const QString path = w.folder.filePath(file);
    QVERIFY(QFile::remove(path));
    if (present) {
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(file.startsWith("step") ? QByteArray() : QByteArray("this is not a picture\n"));
    }

    QVERIFY(!w.start());
    QCOMPARE(w.boxes.shown.size(), 1);
    const MessageRequest& report = w.boxes.shown.first();
    QVERIFY2(report.text.contains(file), qPrintable(report.text));
    QCOMPARE(report.icon, QMessageBox::Critical);
    QVERIFY(!w.form->isVisible());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
