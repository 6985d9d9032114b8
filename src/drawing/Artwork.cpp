#include "drawing/Artwork.h"

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Artwork {

namespace {

constexpr int CellSize = ElementUnits;

const QColor Navy(0x00, 0x00, 0x40);
const QColor Lavender(0xC0, 0xC0, 0xFF);
const QColor PanelLavender(0x80, 0x80, 0xFF);
const QColor CellBackground(0xF2, 0xF2, 0xFA);
const QColor CellSeparator(0x90, 0x90, 0xA8);
const QColor StripSeparator(0xC8, 0xC8, 0xD8);
const QColor DigitInk(0x00, 0x00, 0x40);
const QColor GreyedBackground(0xDC, 0xDC, 0xDC);

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

// A step out of use keeps its shapes, so the chart still reads, but loses its
// colours: each becomes a light grey of about its own brightness.
QColor toned(const QColor& colour, Tone tone)
{
    if (tone == Tone::Normal)
        return colour;
    const int grey = 140 + qGray(colour.rgb()) * 3 / 10;
    return QColor(grey, grey, grey);
}

// Paints in the picture's own units: `units` fills `target`.
class UnitFrame
{
public:
    UnitFrame(QPainter& painter, const QRectF& target, QSizeF units) : m_painter(painter)
    {
        m_painter.save();
        m_painter.translate(target.topLeft());
        m_painter.scale(target.width() / units.width(), target.height() / units.height());
    }
    ~UnitFrame() { m_painter.restore(); }
    UnitFrame(const UnitFrame&) = delete;
    UnitFrame& operator=(const UnitFrame&) = delete;

private:
    QPainter& m_painter;
};

// Qt's JPEG writer keeps colour at half resolution, in 2 x 2 blocks, and
// offers no way to change that. So each level's edge lies on an odd pixel
// row, sharing its block with the light background above it, and is drawn in
// a neutral dark, leaving that block without colour: the fill, which starts
// on an even row, cannot bleed into the background. Off is the bottom row, a
// quarter row 11, half row 7 (the fill is exactly the lower quarter or half of
// the cell), full row 1 (row 0 stays light so a full cell shows its top edge).
// At twice the size each edge covers a whole block row of its own.
double rowCentreOfLevel(double level)
{
    return std::max(CellSize - 0.5 - level * CellSize, 1.5);
}

// Columns 0..14 carry the curve; column 15 is the separator, so neighbouring
// cells, which touch in the chart, read as separate steps.
constexpr double CurveWidth = CellSize - 1;

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

// Only the characters above are ever asked for; another draws nothing.
const Glyph* glyphOf(char character)
{
    const auto found = std::find_if(Font.begin(), Font.end(),
                                    [character](const Glyph& glyph) { return glyph.character == character; });
    return found == Font.end() ? nullptr : &*found;
}

// Draws text with its top-left corner at (left, top); every font pixel becomes
// a block of scale units, with spacing units between glyphs.
void drawBitmapText(QPainter& painter, std::string_view text, int left, int top, QSize scale, int spacing,
                    QColor ink)
{
    int x = left;
    for (char character : text) {
        if (const Glyph* glyph = glyphOf(character)) {
            for (int row = 0; row < GlyphHeight; ++row) {
                for (int column = 0; column < GlyphWidth; ++column) {
                    if (glyph->rows[row][column] == '#')
                        painter.fillRect(x + column * scale.width(), top + row * scale.height(),
                                         scale.width(), scale.height(), ink);
                }
            }
        }
        x += GlyphWidth * scale.width() + spacing;
    }
}

int bitmapTextWidth(std::string_view text, int scale, int spacing)
{
    return text.empty() ? 0 : int(text.size()) * (GlyphWidth * scale + spacing) - spacing;
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

// The icon's frame and bars, in units of a 128-unit icon.
void paintIconContent(QPainter& painter)
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

} // namespace

QSize stepStripUnits()
{
    return QSize(StepsPerPage * CellSize, CellSize);
}

QSize logoUnits()
{
    return QSize(99, 33);
}

void paintElement(QPainter& painter, const QRectF& target, int ordinal, Tone tone)
{
    const ElementArt& art = Elements[std::size_t(std::clamp(ordinal, 0, int(Elements.size()) - 1))];
    const UnitFrame frame(painter, target, QSizeF(CellSize, CellSize));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, 0, CellSize, CellSize),
                     tone == Tone::Normal ? CellBackground : GreyedBackground);

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

    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(area, toned(art.fill, tone));
    painter.strokePath(curve, QPen(toned(CurveEdge, tone), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(CellSize - 1, 0, 1, CellSize, toned(CellSeparator, tone));
}

// The steps of a page, counted from 1, one number centred in each 16-unit
// column, lined up with the chart cells below it.
void paintStepStrip(QPainter& painter, const QRectF& target, int page)
{
    const UnitFrame frame(painter, target, stepStripUnits());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), stepStripUnits()), CellBackground);
    const int firstStep = 1 + StepsPerPage * page;
    for (int column = 0; column < StepsPerPage; ++column) {
        const int left = column * CellSize;
        const std::string number = std::to_string(firstStep + column);
        // Centred in the 15 columns left of the separator.
        const int textLeft = left + (CellSize - bitmapTextWidth(number, 1, 1)) / 2;
        drawBitmapText(painter, number, textLeft, (CellSize - GlyphHeight) / 2, QSize(1, 1), 1, DigitInk);
        painter.fillRect(left + CellSize - 1, 0, 1, CellSize, StripSeparator);
    }
}

void paintLogo(QPainter& painter, const QRectF& target)
{
    const UnitFrame frame(painter, target, logoUnits());
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect whole(QPoint(0, 0), logoUnits());
    painter.fillRect(whole, Navy);

    static constexpr double Bars[] = {0.25, 0.5, 0.75, 1.0, 1.0, 0.75, 0.5, 0.25};
    drawLightBars(painter, QRect(4, 6, 23, 21), Bars, 1);

    constexpr std::string_view Name = "TRV5KB";
    constexpr int Scale = 2;
    const int textWidth = bitmapTextWidth(Name, Scale, 1);
    const int textLeft = whole.width() - 4 - textWidth;
    drawBitmapText(painter, Name, textLeft, 6, QSize(Scale, Scale), 1, Lavender);

    // An underline that fades out, like a lamp dimming down.
    QLinearGradient fade(textLeft, 0, textLeft + textWidth, 0);
    fade.setColorAt(0, Qt::white);
    fade.setColorAt(1, Navy);
    painter.fillRect(textLeft, 23, textWidth, 3, fade);
}

void paintIcon(QPainter& painter, const QRectF& target)
{
    const UnitFrame frame(painter, target, QSizeF(IconUnits, IconUnits));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, 0, IconUnits, IconUnits), Navy);
    paintIconContent(painter);
}

void paintThemeIcon(QPainter& painter, const QRectF& target)
{
    const UnitFrame frame(painter, target, QSizeF(IconUnits, IconUnits));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Navy);
    // Out to the outer edge of the frame that the icon's content draws.
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 21, 21);
    paintIconContent(painter);
}

} // namespace Artwork
