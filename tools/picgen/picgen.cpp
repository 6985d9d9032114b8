// Draws the program's artwork from source so that a build needs no binary
// pictures: the sixteen element pictures and the two step-number strips that
// the program loads from its own folder, under the names of the element table,
// and the four pictures the window carries inside itself (icon, strip,
// preview, logo).
//
// Usage: trv-picgen <picture-dir> <embedded-dir> [<icon-theme-dir>]
//
// With a third folder it also draws the desktop icon at the usual sizes, laid
// out as in the hicolor icon theme: <icon-theme-dir>/NxN/apps/trv5kb-programmer.png.
//
// Only QImage and QPainter are used, never text rendering, so the output does
// not depend on installed fonts or on a display.

#include "chart/CellMapping.h"
#include "chart/ElementTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int CellSize = 16;
constexpr int JpegQuality = 95;

const QColor Navy(0x00, 0x00, 0x40);
const QColor Lavender(0xC0, 0xC0, 0xFF);
const QColor PanelLavender(0x80, 0x80, 0xFF);
const QColor CellBackground(0xF2, 0xF2, 0xFA);
const QColor CellSeparator(0x90, 0x90, 0xA8);
const QColor StripSeparator(0xC8, 0xC8, 0xD8);
const QColor DigitInk(0x00, 0x00, 0x40);

// One hue per kind of movement, so a glance along a chart row tells rises,
// falls, steady levels and switches apart before the shapes are read.
const QColor Rise(0xF2, 0x94, 0x1C);
const QColor Fall(0x3C, 0x82, 0xE6);
const QColor Steady(0x4C, 0xB8, 0x4C);
const QColor Switch(0xB0, 0x5C, 0xD8);
const QColor CurveEdge(0x30, 0x30, 0x30);

// A brightness curve over one step: corners (time 0..1, level 0..1) joined
// by straight lines. A jump is two corners at the same time.
struct Corner
{
    double time;
    double level;
};

struct ElementArt
{
    QColor fill;
    std::vector<Corner> curve;
};

// The art of each element, by its ordinal in the element table.
const std::array<ElementArt, ElementCount> Elements{{
    {Rise, {{0, 0}, {1, 1}}},
    {Fall, {{0, 1}, {1, 0}}},
    {Steady, {{0, 1}, {1, 1}}},
    {Steady, {{0, 0}, {1, 0}}},
    {Rise, {{0, 0}, {1, 0.5}}},
    {Rise, {{0, 0.5}, {1, 1}}},
    {Fall, {{0, 1}, {1, 0.5}}},
    {Fall, {{0, 0.5}, {1, 0}}},
    {Switch, {{0, 1}, {0.5, 1}, {0.5, 0}, {1, 0}}},
    {Switch, {{0, 0}, {0.5, 0}, {0.5, 1}, {1, 1}}},
    {Steady, {{0, 0.5}, {1, 0.5}}},
    {Steady, {{0, 0.25}, {1, 0.25}}},
    {Rise, {{0, 0}, {1, 0.25}}},
    {Rise, {{0, 0.25}, {1, 0.5}}},
    {Fall, {{0, 0.5}, {1, 0.25}}},
    {Fall, {{0, 0.25}, {1, 0}}},
}};

// Qt's JPEG writer keeps colour at half resolution, in 2 x 2 blocks, and
// offers no way to change that. So each level's edge lies on an odd pixel
// row, sharing its block with the light background above it, and is drawn in
// a neutral dark, leaving that block without colour: the fill, which starts
// on an even row, cannot bleed into the background. Off is the bottom row, a
// quarter row 11, half row 7 (the fill is exactly the lower quarter or half of
// the cell), full row 1 (row 0 stays light so a full cell shows its top edge).
double rowCentreOfLevel(double level)
{
    return std::max(CellSize - 0.5 - level * CellSize, 1.5);
}

// Columns 0..14 carry the curve; column 15 is the separator, so neighbouring
// cells, which touch in the chart, read as separate steps.
constexpr double CurveWidth = CellSize - 1;

QImage elementPicture(const ElementArt& art)
{
    QImage image(CellSize, CellSize, QImage::Format_RGB32);
    image.fill(CellBackground);

    QPainterPath curve;
    for (const Corner& corner : art.curve) {
        const QPointF point(corner.time * CurveWidth, rowCentreOfLevel(corner.level));
        if (curve.elementCount() == 0)
            curve.moveTo(point);
        else
            curve.lineTo(point);
    }

    QPainterPath area = curve;
    area.lineTo(CurveWidth, CellSize);
    area.lineTo(0, CellSize);
    area.closeSubpath();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(area, art.fill);
    painter.strokePath(curve, QPen(CurveEdge, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(CellSize - 1, 0, 1, CellSize, CellSeparator);
    return image;
}

// A hand-made bitmap font, so the pictures come out the same on every machine.
// Each glyph is 5 columns by 7 rows; '#' is ink.
struct Glyph
{
    char character;
    std::array<std::string_view, 7> rows;
};

constexpr int GlyphWidth = 5;
constexpr int GlyphHeight = 7;

constexpr std::array<Glyph, 15> Font{{
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {".###.", "#...#", "....#", "..##.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "#....", "####.", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
}};

const Glyph& glyphOf(char character)
{
    for (const Glyph& glyph : Font) {
        if (glyph.character == character)
            return glyph;
    }
    std::fprintf(stderr, "trv-picgen: no glyph for '%c'\n", character);
    std::abort();
}

// Draws text with its top-left corner at (left, top); every font pixel becomes
// a block of scale pixels, with spacing pixels between glyphs.
void drawBitmapText(QImage& image, std::string_view text, int left, int top, QSize scale, int spacing,
                    QColor ink)
{
    QPainter painter(&image);
    int x = left;
    for (char character : text) {
        const Glyph& glyph = glyphOf(character);
        for (int row = 0; row < GlyphHeight; ++row) {
            for (int column = 0; column < GlyphWidth; ++column) {
                if (glyph.rows[row][column] == '#')
                    painter.fillRect(x + column * scale.width(), top + row * scale.height(), scale.width(),
                                     scale.height(), ink);
            }
        }
        x += GlyphWidth * scale.width() + spacing;
    }
}

int bitmapTextWidth(std::string_view text, int scale, int spacing)
{
    return text.empty() ? 0 : int(text.size()) * (GlyphWidth * scale + spacing) - spacing;
}

// The steps of a page, counted from 1, one number centred in each 16-pixel
// column, lined up with the chart cells below it.
QImage stepStrip(int page)
{
    const int firstStep = 1 + StepsPerPage * page;
    QImage image(StepsPerPage * CellSize, CellSize, QImage::Format_RGB32);
    image.fill(CellBackground);
    for (int column = 0; column < StepsPerPage; ++column) {
        const int left = column * CellSize;
        const std::string number = std::to_string(firstStep + column);
        // Centred in the 15 columns left of the separator.
        const int textLeft = left + (CellSize - bitmapTextWidth(number, 1, 1)) / 2;
        drawBitmapText(image, number, textLeft, (CellSize - GlyphHeight) / 2, QSize(1, 1), 1, DigitInk);
        QPainter(&image).fillRect(left + CellSize - 1, 0, 1, CellSize, StripSeparator);
    }
    return image;
}

// Light bars rising, holding and falling: the shape of a dimming pattern.
void drawLightBars(QPainter& painter, QRect area, std::span<const double> levels, int gap)
{
    const int count = int(levels.size());
    const int barWidth = (area.width() - gap * (count - 1)) / count;
    QLinearGradient light(0, area.bottom() + 1, 0, area.top());
    light.setColorAt(0, PanelLavender);
    light.setColorAt(1, Qt::white);
    for (int i = 0; i < count; ++i) {
        const int height = int(std::lround(levels[i] * area.height()));
        if (height <= 0)
            continue;
        painter.fillRect(area.left() + i * (barWidth + gap), area.bottom() + 1 - height, barWidth, height,
                         light);
    }
}

QImage logo()
{
    QImage image(99, 33, QImage::Format_RGB32);
    image.fill(Navy);

    static constexpr double Bars[] = {0.25, 0.5, 0.75, 1.0, 1.0, 0.75, 0.5, 0.25};
    QPainter bars(&image);
    drawLightBars(bars, QRect(4, 6, 23, 21), Bars, 1);
    bars.end();

    constexpr std::string_view Name = "TRV5KB";
    constexpr int Scale = 2;
    const int textWidth = bitmapTextWidth(Name, Scale, 1);
    const int textLeft = image.width() - 4 - textWidth;
    drawBitmapText(image, Name, textLeft, 6, QSize(Scale, Scale), 1, Lavender);

    // An underline that fades out, like a lamp dimming down.
    QPainter underline(&image);
    QLinearGradient fade(textLeft, 0, textLeft + textWidth, 0);
    fade.setColorAt(0, Qt::white);
    fade.setColorAt(1, Navy);
    underline.fillRect(textLeft, 23, textWidth, 3, fade);
    return image;
}

// The icon's frame and bars on a navy ground, in units of a 128-pixel icon.
void paintIcon(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(PanelLavender, 6));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(7, 7, 114, 114), 18, 18);

    // Few, wide bars with wide gaps stay apart when the icon is shrunk to 16 px.
    static constexpr double Bars[] = {0.3, 0.65, 1.0, 1.0, 0.65, 0.3};
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawLightBars(painter, QRect(22, 26, 84, 72), Bars, 6);
    painter.fillRect(20, 100, 88, 5, Lavender);
}

QImage icon()
{
    QImage image(128, 128, QImage::Format_RGB32);
    image.fill(Navy);
    QPainter painter(&image);
    paintIcon(painter);
    painter.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

// The sizes desktops look for in the icon theme.
constexpr std::array<int, 8> ThemeIconSizes{16, 22, 24, 32, 48, 64, 128, 256};
constexpr int LargestThemeIcon = 256;

// The icon for the desktop's menus: the same picture as a rounded navy tile
// whose corners are transparent. Drawn once at the largest size and shrunk
// smoothly, so the small sizes average the bars rather than drop pixel rows.
QImage themeIcon(int size)
{
    static const QImage largest = [] {
        constexpr double Scale = double(LargestThemeIcon) / 128;
        QImage image(LargestThemeIcon, LargestThemeIcon, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(Scale, Scale);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Navy);
        // Out to the outer edge of the frame that paintIcon draws.
        painter.drawRoundedRect(QRectF(4, 4, 120, 120), 21, 21);
        paintIcon(painter);
        return image;
    }();
    if (size == LargestThemeIcon)
        return largest;
    return largest.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Writes through a save file, so an interrupted build never leaves half a
// picture behind that a later build would take as up to date.
bool writePicture(const QImage& image, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "trv-picgen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    const bool jpeg = name.endsWith(QLatin1String(".jpg"));
    QImageWriter writer(&file, jpeg ? "jpeg" : "png");
    if (jpeg)
        writer.setQuality(JpegQuality);
    if (!writer.write(image) || !file.commit()) {
        std::fprintf(stderr, "trv-picgen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                             : file.errorString()));
        return false;
    }
    return true;
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
    for (const ElementRow& element : ElementTable) {
        const QImage picture = elementPicture(Elements[std::size_t(element.ordinal)]);
        ok = writePicture(picture, pictureFolder, QString::fromLatin1(element.file)) && ok;
    }
    for (const PageStripRow& strip : PageStripTable)
        ok = writePicture(stepStrip(strip.page), pictureFolder, QString::fromLatin1(strip.file)) && ok;
    const QImage firstPage = stepStrip(0);

    ok = writePicture(icon(), embeddedFolder, QStringLiteral("icon.png")) && ok;
    ok = writePicture(firstPage, embeddedFolder, QStringLiteral("Picture4.jpg")) && ok;
    ok = writePicture(elementPicture(Elements.front()), embeddedFolder, QStringLiteral("Picture2.jpg")) && ok;
    ok = writePicture(logo(), embeddedFolder, QStringLiteral("Image1.jpg")) && ok;

    if (arguments.size() == 4) {
        for (int size : ThemeIconSizes) {
            const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(3)).arg(size);
            ok = makeFolder(folder) &&
                 writePicture(themeIcon(size), folder, QStringLiteral("trv5kb-programmer.png")) && ok;
        }
    }
    return ok ? 0 : 1;
}
