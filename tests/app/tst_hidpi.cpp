#include "FormFixture.h"

#include "app/ChartGrid.h"

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
    void cellsShowPicturesForTheScreen();
    void programMarkForTheScreen();

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

// The chart paints each cell's picture pixel for pixel, at the screen's scale: the picture drawn
// at twice the size on a screen that scales by more than 1, before and after an edit.
void TestHiDpi::cellsShowPicturesForTheScreen()
{
    const auto expected = [this](const char* file) {
        const QString name = QString::fromLatin1(file) + (pictureScale() > 1 ? "@2x.jpg" : ".jpg");
        return QImage(QStringLiteral(TRV_PICTURE_DIR "/") + name).convertToFormat(QImage::Format_RGB32);
    };
    // Painted at the pictures' own scale, a cell is the picture pixel for pixel (on a screen at 1.5
    // the system scales the whole window from there).
    const auto painted = [&](int index) {
        const QRect cell = w->cell(index).geometry().translated(-w->chart()->pos());
        QImage image(cell.size() * pictureScale(), QImage::Format_RGB32);
        image.setDevicePixelRatio(pictureScale());
        w->chart()->render(&image, {}, QRegion(cell));
        return image;
    };
    for (int index : {0, 199})
        QCOMPARE(painted(index), expected("OFF"));
    w->clickCell(0);
    QCOMPARE(painted(0), expected("UP"));
}

// The window's mark comes with the picture drawn for the screen's scale, as a high-resolution
// screen asks for it.
void TestHiDpi::programMarkForTheScreen()
{
    QList<QSize> drawn{QSize(128, 128)};
    if (pictureScale() > 1)
        drawn << QSize(256, 256);
    QCOMPARE(w->form->windowIcon().availableSizes(), drawn);
}

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
