#include "FormFixture.h"

#include <QLabel>
#include <QTest>

// The window on a screen that scales by QT_SCALE_FACTOR (each run of this
// program has its own, see CMakeLists.txt): above 1, the chart's cells and the
// window's other pictures are those drawn at twice the size, so they stay
// sharp, each in the place of its size in points; at 1 those of the window's
// own size, as always.
class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void picturesForTheScreen_data();
    void picturesForTheScreen();
    void editedCellKeepsItsScale();

private:
    // The scale the pictures are drawn at for this screen: 2 or 1.
    qreal pictureScale() const { return qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble() > 1 ? 2 : 1; }

    std::unique_ptr<StartedForm> w;
};

void TestHiDpi::initTestCase()
{
    w = std::make_unique<StartedForm>();
    QVERIFY(w->start());
}

void TestHiDpi::picturesForTheScreen_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QSize>("size");   // in the window's own pixels
    QTest::addColumn<QString>("file"); // what it shows, from the build's pictures; empty: embedded

    QTest::newRow("chart cell") << "Picture1(0)" << QSize(16, 16) << "OFF";
    QTest::newRow("chart cell, last") << "Picture1(199)" << QSize(16, 16) << "OFF";
    QTest::newRow("picture holder UP") << "UP" << QSize(16, 16) << "UP";
    QTest::newRow("palette preview") << "Picture2" << QSize(16, 16) << "UP";
    QTest::newRow("step strip") << "Picture4" << QSize(640, 16) << "step1";
    QTest::newRow("logo") << "Image1" << QSize(99, 33) << "";
}

void TestHiDpi::picturesForTheScreen()
{
    QFETCH(QString, control);
    QFETCH(QSize, size);
    QFETCH(QString, file);

    const QPixmap shown = w->get<QLabel>(control)->pixmap();
    QCOMPARE(shown.devicePixelRatio(), pictureScale());
    QCOMPARE(shown.size(), size * pictureScale());
    QCOMPARE(shown.deviceIndependentSize(), QSizeF(size));
    if (!file.isEmpty()) {
        const QString name = file + (pictureScale() > 1 ? "@2x.jpg" : ".jpg");
        QCOMPARE(shown.toImage().convertToFormat(QImage::Format_RGB32),
                 QImage(QStringLiteral(TRV_PICTURE_DIR "/") + name).convertToFormat(QImage::Format_RGB32));
    }
}

void TestHiDpi::editedCellKeepsItsScale()
{
    w->clickCell(0);
    const QPixmap shown = w->cell(0)->pixmap();
    QCOMPARE(shown.devicePixelRatio(), pictureScale());
    QCOMPARE(shown.toImage(), holderImage(*w->form, "UP"));
}

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
