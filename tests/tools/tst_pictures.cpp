#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>

// Checks the pictures the build draws: the eighteen the program loads from
// its folder at start-up, the four the window carries inside itself, each
// also at twice the size ("UP@2x.jpg"), and the desktop icon at the sizes of
// the icon theme.
class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void pictureFile_data();
    void pictureFile();
    void elementsPairwiseDistinct();
    void elementCurve_data();
    void elementCurve();
    void twiceTheSizeShowsTheSame_data();
    void twiceTheSizeShowsTheSame();
    void embeddedCopies();
    void themeIcon_data();
    void themeIcon();
    void regeneratesIdentically();
    void unwritableFolderFails();
};

namespace {

const QString PictureDir = QStringLiteral(TRV_PICTURE_DIR);
const QString EmbeddedDir = QStringLiteral(TRV_EMBEDDED_DIR);
const QString IconDir = QStringLiteral(TRV_ICON_DIR);

const QStringList ElementFiles{"UP.jpg",     "DOWN.jpg",   "ON.jpg",     "OFF.jpg",   "UPLM.jpg", "UPMH.jpg",
                               "DOWNHM.jpg", "DOWNML.jpg", "ONOFF.jpg",  "OFFON.jpg", "ONHF.jpg", "ONQT.jpg",
                               "UPQL.jpg",   "UPQH.jpg",   "DOWNQH.jpg", "DOWNQL.jpg"};
const QStringList EmbeddedFiles{"icon.png", "Picture4.jpg", "Picture2.jpg", "Image1.jpg"};

QStringList pictureFiles()
{
    return ElementFiles + QStringList{"step1.jpg", "step2.jpg"};
}

// The name of a picture drawn at twice the size, as Qt looks for it.
QString twice(const QString& name)
{
    return name.section('.', 0, 0) + "@2x." + name.section('.', 1);
}

QStringList withTwiceTheSize(const QStringList& names)
{
    QStringList all = names;
    for (const QString& name : names)
        all << twice(name);
    return all;
}

// A list of the build's, comma-separated, in the order QDir::Name gives.
QStringList sortedNames(const char* names)
{
    QStringList list = QString::fromUtf8(names).split(',');
    list.sort();
    return list;
}

// The desktop icon at the sizes of the hicolor theme, laid out as the theme is.
QStringList themeIconFiles()
{
    QStringList files;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files << QStringLiteral("%1x%1/apps/trv5kb-programmer.png").arg(size);
    return files;
}

QImage readPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

double meanAbsoluteDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

// Height of the lit area in one column, as a fraction of the cell: the run of
// pixels from the bottom that stand out from the light background, which the
// top-left pixel shows in every element picture. The curve's edge line is
// centred on the level, so half of it lies above.
double litHeight(const QImage& image, int column)
{
    const QRgb background = image.pixel(0, 0);
    int rows = 0;
    for (int y = image.height() - 1; y >= 0; --y) {
        const QRgb p = image.pixel(column, y);
        const int distance =
            std::max({std::abs(qRed(p) - qRed(background)), std::abs(qGreen(p) - qGreen(background)),
                      std::abs(qBlue(p) - qBlue(background))});
        if (distance < 48)
            break;
        ++rows;
    }
    return std::max(rows - 0.5, 0.0) / image.height();
}

} // namespace

void TestPictures::pictureFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");

    for (int scale : {1, 2}) {
        const auto name = [scale](const QString& once) { return scale == 1 ? once : twice(once); };
        const auto row = [&](const QString& folder, const QString& once, const char* format, QSize size) {
            QTest::newRow(qPrintable(name(once)))
                << folder + '/' + name(once) << QByteArray(format) << size * scale;
        };
        for (const QString& element : ElementFiles)
            row(PictureDir, element, "jpeg", QSize(16, 16));
        row(PictureDir, "step1.jpg", "jpeg", QSize(640, 16));
        row(PictureDir, "step2.jpg", "jpeg", QSize(640, 16));
        row(EmbeddedDir, "icon.png", "png", QSize(128, 128));
        row(EmbeddedDir, "Picture4.jpg", "jpeg", QSize(640, 16));
        row(EmbeddedDir, "Picture2.jpg", "jpeg", QSize(16, 16));
        row(EmbeddedDir, "Image1.jpg", "jpeg", QSize(99, 33));
    }
}

void TestPictures::pictureFile()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
    // The window icon is 24-bit colour: no alpha channel.
    QVERIFY(!image.hasAlphaChannel());
}

void TestPictures::elementsPairwiseDistinct()
{
    QList<QImage> images;
    for (const QString& name : ElementFiles) {
        images.append(readPicture(PictureDir + '/' + name));
        QVERIFY2(!images.last().isNull(), qPrintable(name));
    }
    for (int i = 0; i < images.size(); ++i) {
        for (int j = i + 1; j < images.size(); ++j) {
            const double difference = meanAbsoluteDifference(images[i], images[j]);
            QVERIFY2(difference > 12, qPrintable(QStringLiteral("%1 and %2 differ by only %3")
                                                     .arg(ElementFiles[i], ElementFiles[j])
                                                     .arg(difference)));
        }
    }
}

// Each picture shows its element's brightness over the step: the lit height a
// sixth of the way in and a sixth before the end.
void TestPictures::elementCurve_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("nearStart");
    QTest::addColumn<double>("nearEnd");

    QTest::newRow("UP rises from off to full") << "UP.jpg" << 1 / 6.0 << 5 / 6.0;
    QTest::newRow("DOWN falls from full to off") << "DOWN.jpg" << 5 / 6.0 << 1 / 6.0;
    QTest::newRow("ON is full") << "ON.jpg" << 1.0 << 1.0;
    QTest::newRow("OFF is off") << "OFF.jpg" << 0.0 << 0.0;
    QTest::newRow("UP-L rises to half") << "UPLM.jpg" << 1 / 12.0 << 5 / 12.0;
    QTest::newRow("UP-H rises from half") << "UPMH.jpg" << 7 / 12.0 << 11 / 12.0;
    QTest::newRow("DOWN-H falls to half") << "DOWNHM.jpg" << 11 / 12.0 << 7 / 12.0;
    QTest::newRow("DOWN-L falls from half") << "DOWNML.jpg" << 5 / 12.0 << 1 / 12.0;
    QTest::newRow("ON-OFF") << "ONOFF.jpg" << 1.0 << 0.0;
    QTest::newRow("OFF-ON") << "OFFON.jpg" << 0.0 << 1.0;
    QTest::newRow("ON-1/2") << "ONHF.jpg" << 0.5 << 0.5;
    QTest::newRow("ON-1/4") << "ONQT.jpg" << 0.25 << 0.25;
    QTest::newRow("UP-L(1/4)") << "UPQL.jpg" << 1 / 24.0 << 5 / 24.0;
    QTest::newRow("UP-H(1/4)") << "UPQH.jpg" << 7 / 24.0 << 11 / 24.0;
    QTest::newRow("DOWN-H(1/4)") << "DOWNQH.jpg" << 11 / 24.0 << 7 / 24.0;
    QTest::newRow("DOWN-L(1/4)") << "DOWNQL.jpg" << 5 / 24.0 << 1 / 24.0;
}

void TestPictures::elementCurve()
{
    QFETCH(QString, name);
    QFETCH(double, nearStart);
    QFETCH(double, nearEnd);

    for (const QString& file : {name, twice(name)}) {
        const QImage image = readPicture(PictureDir + '/' + file);
        QVERIFY2(!image.isNull(), qPrintable(file));
        // Columns 2 and 12 of 16 sit a sixth in from either end of the 15 columns left of
        // the separator. Two pixels of 16 of slack allow for the edge line and rounding.
        const int scale = image.width() / 16;
        const double tolerance = 2.0 / 16;
        const double start = litHeight(image, 2 * scale);
        const double end = litHeight(image, 12 * scale);
        QVERIFY2(std::abs(start - nearStart) <= tolerance, qPrintable(file + ": " + QString::number(start)));
        QVERIFY2(std::abs(end - nearEnd) <= tolerance, qPrintable(file + ": " + QString::number(end)));
    }
}

// A picture at twice the size is the same drawing with more pixels: shrunk to the size of the
// other, the two differ by under 10 (JPEG and the shrinking account for up to 9, on UP's
// diagonal), while any two different elements differ by over 12 (elementsPairwiseDistinct).
void TestPictures::twiceTheSizeShowsTheSame_data()
{
    QTest::addColumn<QString>("path");
    for (const QString& name : pictureFiles())
        QTest::newRow(qPrintable(name)) << PictureDir + '/' + name;
    for (const QString& name : EmbeddedFiles)
        QTest::newRow(qPrintable(name)) << EmbeddedDir + '/' + name;
}

void TestPictures::twiceTheSizeShowsTheSame()
{
    QFETCH(QString, path);
    const QImage once = readPicture(path).convertToFormat(QImage::Format_RGB32);
    const QImage twiceTheSize = readPicture(twice(path)).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!once.isNull() && !twiceTheSize.isNull());
    QCOMPARE(twiceTheSize.size(), once.size() * 2);
    const QImage shrunk = twiceTheSize.scaled(once.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double difference = meanAbsoluteDifference(shrunk, once);
    QVERIFY2(difference < 10, qPrintable(QString::number(difference)));
}

// The window's own step strip is the first page's, and its preview shows UP,
// as start-up leaves them.
void TestPictures::embeddedCopies()
{
    for (const QString suffix : {".jpg", "@2x.jpg"}) {
        QCOMPARE(readFile(EmbeddedDir + "/Picture4" + suffix), readFile(PictureDir + "/step1" + suffix));
        QCOMPARE(readFile(EmbeddedDir + "/Picture2" + suffix), readFile(PictureDir + "/UP" + suffix));
        QVERIFY(readFile(PictureDir + "/step1" + suffix) != readFile(PictureDir + "/step2" + suffix));
    }
}

// A rounded tile for the desktop's menus: opaque inside, transparent in the corners, where a
// square window icon would show its navy ground.
void TestPictures::themeIcon_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    for (const QString& name : themeIconFiles())
        QTest::newRow(qPrintable(name)) << name << name.section('x', 0, 0).toInt();
}

void TestPictures::themeIcon()
{
    QFETCH(QString, name);
    QFETCH(int, size);

    QImageReader reader(IconDir + '/' + name);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
    // The frame's lavender runs along the middle of the left edge.
    const QRgb frame = image.pixel(size * 6 / 128, size / 2);
    QVERIFY2(qBlue(frame) > 0xC0 && qRed(frame) > 0x40, qPrintable(QString::number(frame, 16)));
}

void TestPictures::regeneratesIdentically()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString pictures = folder.filePath("pictures");
    const QString embedded = folder.filePath("deep/embedded");
    const QString icons = folder.filePath("icons");

    QProcess picgen;
    picgen.start(TRV_PICGEN, {pictures, embedded, icons});
    QVERIFY(picgen.waitForFinished());
    QCOMPARE(picgen.exitStatus(), QProcess::NormalExit);
    QCOMPARE(picgen.exitCode(), 0);

    for (const QString& name : withTwiceTheSize(pictureFiles()))
        QVERIFY2(readFile(pictures + '/' + name) == readFile(PictureDir + '/' + name), qPrintable(name));
    for (const QString& name : withTwiceTheSize(EmbeddedFiles))
        QVERIFY2(readFile(embedded + '/' + name) == readFile(EmbeddedDir + '/' + name), qPrintable(name));
    for (const QString& name : themeIconFiles())
        QVERIFY2(readFile(icons + '/' + name) == readFile(IconDir + '/' + name), qPrintable(name));
    QCOMPARE(QDir(pictures).entryList(QDir::Files).size(), 36);
    QCOMPARE(QDir(embedded).entryList(QDir::Files).size(), 8);
    QCOMPARE(QDir(icons).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 8);

    // What the generator draws is what the build expects of it and installs.
    QCOMPARE(QDir(pictures).entryList(QDir::Files, QDir::Name), sortedNames(TRV_PICTURE_NAMES));
    QCOMPARE(QDir(embedded).entryList(QDir::Files, QDir::Name), sortedNames(TRV_EMBEDDED_NAMES));
}

void TestPictures::unwritableFolderFails()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // A plain file where a folder should be: nothing can be created below it.
    QFile blocker(folder.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    // A folder where a picture should be: that one file cannot be written.
    QVERIFY(QDir(folder.path()).mkpath("occupied/UP.jpg"));

    const QList<QStringList> cases{
        {folder.filePath("blocker/pictures"), folder.filePath("embedded")},
        {folder.filePath("pictures"), folder.filePath("blocker/embedded")},
        {folder.filePath("occupied"), folder.filePath("embedded")},
        {folder.filePath("pictures"), folder.filePath("embedded"), folder.filePath("blocker/icons")},
        {folder.filePath("pictures")}};
    for (const QStringList& arguments : cases) {
        QProcess picgen;
        picgen.start(TRV_PICGEN, arguments);
        QVERIFY(picgen.waitForFinished());
        QCOMPARE(picgen.exitStatus(), QProcess::NormalExit);
        QVERIFY2(picgen.exitCode() != 0, qPrintable(arguments.join(' ')));
        QVERIFY(!picgen.readAllStandardError().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
