// Draws the program's artwork from source so that a build needs no binary
// pictures: the sixteen element pictures and the two step-number strips that
// the program loads from its own folder, under the names of the element table,
// and the four pictures the window carries inside itself (icon, strip,
// preview, logo). Each comes at the size the window lays out and at twice
// that, named as Qt looks for it on a screen that scales ("UP@2x.jpg" beside
// "UP.jpg"). The drawing itself is src/drawing's, which the chart sheet shares.
//
// Usage: trv-picgen <picture-dir> <embedded-dir> [<icon-theme-dir>]
//
// With a third folder it also draws the desktop icon at the usual sizes, laid
// out as in the hicolor icon theme: <icon-theme-dir>/NxN/apps/trv5kb-programmer.png,
// and the same as the icon of the Windows programs: <icon-theme-dir>/trv5kb-programmer.ico.
//
// Only QImage and QPainter are used, never text rendering, so the output does
// not depend on installed fonts or on a display.

#include "chart/ElementTable.h"
#include "drawing/Artwork.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <array>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr int JpegQuality = 95;

using Paint = std::function<void(QPainter& painter, const QRectF& target)>;

// A picture of `units` painted at `scale` pixels a unit, on `ground`.
QImage picture(QSize units, int scale, const Paint& paint, QImage::Format format = QImage::Format_RGB32,
               Qt::GlobalColor ground = Qt::black)
{
    QImage image(units * scale, format);
    image.fill(ground);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    return image;
}

QImage elementPicture(int ordinal, int scale)
{
    return picture(QSize(Artwork::ElementUnits, Artwork::ElementUnits), scale,
                   [ordinal](QPainter& painter, const QRectF& target) {
                       Artwork::paintElement(painter, target, ordinal);
                   });
}

QImage stepStrip(int page, int scale)
{
    return picture(Artwork::stepStripUnits(), scale, [page](QPainter& painter, const QRectF& target) {
        Artwork::paintStepStrip(painter, target, page);
    });
}

QImage logo(int scale)
{
    return picture(Artwork::logoUnits(), scale, Artwork::paintLogo);
}

// 24-bit colour, no alpha channel, as the window's icon has always been.
QImage icon(int scale)
{
    return picture(QSize(Artwork::IconUnits, Artwork::IconUnits), scale, Artwork::paintIcon)
        .convertToFormat(QImage::Format_RGB888);
}

// The sizes desktops look for in the icon theme.
constexpr std::array<int, 8> ThemeIconSizes{16, 22, 24, 32, 48, 64, 128, 256};
constexpr int LargestThemeIcon = 256;

// The icon for the desktop's menus: a rounded navy tile whose corners are
// transparent. Drawn once at the largest size and shrunk smoothly, so the
// small sizes average the bars rather than drop pixel rows.
QImage themeIcon(int size)
{
    static const QImage largest =
        picture(QSize(Artwork::IconUnits, Artwork::IconUnits), LargestThemeIcon / Artwork::IconUnits,
                Artwork::paintThemeIcon, QImage::Format_ARGB32_Premultiplied, Qt::transparent);
    if (size == LargestThemeIcon)
        return largest;
    return largest.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Where Qt looks for a picture drawn at twice the size: "UP.jpg" has "UP@2x.jpg" beside it.
QString twiceTheSize(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

// Writes through a save file, so an interrupted build never leaves half a
// picture behind that a later build would take as up to date.
bool writeFile(const QByteArray& bytes, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "trv-picgen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

// `image` as a file of `format` ("jpeg", "png"), or nothing, with the reason on standard error.
std::optional<QByteArray> encoded(const QImage& image, const char* format, const QString& name)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "jpeg") == 0)
        writer.setQuality(JpegQuality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "trv-picgen: cannot make %s: %s\n", qPrintable(name),
                     qPrintable(writer.errorString()));
        return std::nullopt;
    }
    return bytes;
}

bool writePicture(const QImage& image, const QString& folder, const QString& name)
{
    const std::optional<QByteArray> bytes =
        encoded(image, name.endsWith(QLatin1String(".jpg")) ? "jpeg" : "png", name);
    return bytes && writeFile(*bytes, folder, name);
}

// The sizes Windows shows a program's icon at, from the list of a folder to the Start menu's tiles.
constexpr std::array<int, 7> WindowsIconSizes{16, 24, 32, 48, 64, 128, 256};

// A Windows icon file holding the theme icon at each of WindowsIconSizes, as PNG images
// (which Windows reads in icon files since Vista): a header, one directory entry per
// image, then the images.
std::optional<QByteArray> windowsIcon()
{
    QList<QByteArray> images;
    for (int size : WindowsIconSizes) {
        const std::optional<QByteArray> png =
            encoded(themeIcon(size), "png", QStringLiteral("the icon at %1 pixels").arg(size));
        if (!png)
            return std::nullopt;
        images << *png;
    }
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = quint32(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = WindowsIconSizes[std::size_t(i)];
        // A width and height of 0 stand for 256.
        out << quint8(size % 256) << quint8(size % 256) << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(images[i].size()) << offset;
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        out.writeRawData(image.constData(), int(image.size()));
    return file;
}

bool makeFolder(const QString& folder)
{
    if (QDir().mkpath(folder))
        return true;
    std::fprintf(stderr, "trv-picgen: cannot create folder %s\n", qPrintable(folder));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        std::fprintf(stderr, "usage: trv-picgen <picture-dir> <embedded-dir> [<icon-theme-dir>]\n");
        return 2;
    }
    const QString pictureFolder = arguments.at(1);
    const QString embeddedFolder = arguments.at(2);
    if (!makeFolder(pictureFolder) || !makeFolder(embeddedFolder))
        return 1;

    bool ok = true;
    // Each picture at the build's size and, for screens that scale by more than 1, at twice that.
    const auto write = [&ok](const QString& folder, const QString& name,
                             const std::function<QImage(int)>& draw) {
        ok = writePicture(draw(1), folder, name) && ok;
        ok = writePicture(draw(2), folder, twiceTheSize(name)) && ok;
    };
    for (const ElementRow& element : ElementTable)
        write(pictureFolder, QString::fromLatin1(element.file),
              [&element](int scale) { return elementPicture(element.ordinal, scale); });
    for (const PageStripRow& strip : PageStripTable)
        write(pictureFolder, QString::fromLatin1(strip.file),
              [&strip](int scale) { return stepStrip(strip.page, scale); });

    write(embeddedFolder, QStringLiteral("icon.png"), icon);
    write(embeddedFolder, QStringLiteral("Picture4.jpg"), [](int scale) { return stepStrip(0, scale); });
    write(embeddedFolder, QStringLiteral("Picture2.jpg"), [](int scale) { return elementPicture(0, scale); });
    write(embeddedFolder, QStringLiteral("Image1.jpg"), logo);

    if (arguments.size() == 4) {
        for (int size : ThemeIconSizes) {
            const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(3)).arg(size);
            ok = makeFolder(folder) &&
                 writePicture(themeIcon(size), folder, QStringLiteral("trv5kb-programmer.png")) && ok;
        }
        const std::optional<QByteArray> icon = windowsIcon();
        ok = icon && writeFile(*icon, arguments.at(3), QStringLiteral("trv5kb-programmer.ico")) && ok;
    }
    return ok ? 0 : 1;
}
