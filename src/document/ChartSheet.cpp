#include "document/ChartSheet.h"

#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "drawing/Artwork.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

// The page is laid out in points on A4 landscape, inside margins of 10 mm.
constexpr double PageWidth = 841.89;
constexpr double PageHeight = 595.28;
constexpr double MarginMm = 10;
constexpr double Margin = MarginMm * 72 / 25.4;
constexpr double ContentWidth = PageWidth - 2 * Margin;
constexpr double ContentHeight = PageHeight - 2 * Margin;

constexpr double HeaderHeight = 40;
constexpr double LabelWidth = 44;
constexpr double CellSize = (ContentWidth - LabelWidth) / StepsPerPage;
// Channel rows stand apart, as in the window, so a row reads along its steps.
constexpr double RowGap = 4;
constexpr double NumberHeight = 12;
constexpr double BlockTop = HeaderHeight + 16;
constexpr double BlockHeight = NumberHeight + ChannelsPerGroup * (CellSize + RowGap) - RowGap;
constexpr double BlockGap = 28;
constexpr double MarkerWidth = 2;
constexpr double MarkerOverhang = 4;
constexpr double LegendTop = BlockTop + 2 * BlockHeight + BlockGap + 34;
constexpr int LegendColumns = 8;
constexpr double LegendPicture = 22;
constexpr double LegendRowHeight = 32;

const QColor Ink(0x20, 0x20, 0x20);
const QColor Navy(0x00, 0x00, 0x40);
const QColor Rule(0xA0, 0xA0, 0xB8);
const QColor Faint(0x60, 0x60, 0x70);
const QColor OddValue(0xC0, 0x00, 0x00);

const int OffOrdinal = 3;
constexpr int Groups = PatternTable::UsedChannels / ChannelsPerGroup;

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar(u'A' + group);
}

bool stepInUse(int step, int stepCount)
{
    return step % StepsPerPage < stepsInUseOnPage(step / StepsPerPage, stepCount);
}

// Paints in points of the page's content area, mapped onto the device's
// pixels: no world transform, so fonts keep their metrics and the element
// pictures are painted at the device's own resolution.
class Page
{
public:
    Page(QPainter& painter, const QPaintDevice& device) : m_painter(painter)
    {
        const double pixelsPerPoint = device.logicalDpiX() / 72.0;
        m_fit = std::min(device.width() / (ContentWidth * pixelsPerPoint),
                         device.height() / (ContentHeight * pixelsPerPoint));
        m_unit = pixelsPerPoint * m_fit;
        m_origin = QPointF((device.width() - ContentWidth * m_unit) / 2, 0);
    }

    QRectF rect(double left, double top, double width, double height) const
    {
        return QRectF(m_origin.x() + left * m_unit, m_origin.y() + top * m_unit, width * m_unit,
                      height * m_unit);
    }

    QFont font(double points, bool bold = false) const
    {
        // The proportional IPA Gothic, as the window's texts have it; embedded in a PDF.
        QFont font(QStringLiteral("IPAPGothic"));
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(points * m_fit);
        font.setBold(bold);
        return font;
    }

    void text(double left, double top, double width, double height, const QString& text, double points,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter, bool bold = false,
              const QColor& colour = Ink)
    {
        m_painter.setFont(font(points, bold));
        m_painter.setPen(colour);
        m_painter.drawText(rect(left, top, width, height), int(alignment), text);
    }

    void fill(double left, double top, double width, double height, const QColor& colour)
    {
        m_painter.fillRect(rect(left, top, width, height), colour);
    }

    void frame(double left, double top, double width, double height, const QColor& colour, double lineWidth)
    {
        m_painter.setPen(QPen(colour, lineWidth * m_unit));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(rect(left, top, width, height));
    }

    double pixels(double points) const { return points * m_unit; }
    QPainter& painter() { return m_painter; }

private:
    QPainter& m_painter;
    double m_fit = 1;
    double m_unit = 1;
    QPointF m_origin;
};

// A cell that holds no element shows its value as it stands.
void paintCell(Page& page, double left, double top, const ElementCode& value, bool inUse)
{
    const QRectF target = page.rect(left, top, CellSize, CellSize);
    if (const std::optional<int> ordinal = value.ordinal()) {
        Artwork::paintElement(page.painter(), target, *ordinal,
                              inUse ? Artwork::Tone::Normal : Artwork::Tone::Greyed);
        return;
    }
    page.fill(left, top, CellSize, CellSize, inUse ? Qt::white : QColor(0xDC, 0xDC, 0xDC));
    page.frame(left, top, CellSize, CellSize, OddValue, 0.5);
    const QString shown = QFontMetricsF(page.font(5.5), page.painter().device())
                              .elidedText(value.toText(), Qt::ElideRight, page.pixels(CellSize - 2));
    page.text(left, top, CellSize, CellSize, shown, 5.5, Qt::AlignCenter, false, OddValue);
}

void paintHeader(Page& page, const ChartSheet& sheet, int group)
{
    page.text(0, 0, 120, 28, groupName(group), 20, Qt::AlignLeft | Qt::AlignVCenter, true, Navy);
    page.text(120, 0, 420, 28, sheet.fileName.isEmpty() ? unsavedChartName() : sheet.fileName, 13);
    page.text(
        ContentWidth - 260, 0, 260, 28,
        QStringLiteral("ステップ数 %1　　%2").arg(sheet.stepCount).arg(sheet.date.toString(Qt::ISODate)), 11,
        Qt::AlignRight | Qt::AlignVCenter);
    page.text(0, 26, ContentWidth, 12,
              QStringLiteral("TRV5KB Programmer 調光パターン　チャンネル %1%2～%1%3")
                  .arg(QChar(u'A' + group))
                  .arg(1)
                  .arg(ChannelsPerGroup),
              8, Qt::AlignLeft | Qt::AlignVCenter, false, Faint);
    page.fill(0, HeaderHeight, ContentWidth, 1, Navy);
}

// One row of 40 steps: their numbers, the five channels and the end marker.
void paintBlock(Page& page, const ChartSheet& sheet, int group, int pageOfSteps)
{
    const double top = BlockTop + pageOfSteps * (BlockHeight + BlockGap);
    const double cellsTop = top + NumberHeight;
    const int inUse = stepsInUseOnPage(pageOfSteps, sheet.stepCount);
    page.text(0, top, LabelWidth - 4, NumberHeight, QStringLiteral("ステップ"), 6.5,
              Qt::AlignRight | Qt::AlignVCenter, false, Faint);
    for (int column = 0; column < StepsPerPage; ++column) {
        const int step = pageOfSteps * StepsPerPage + column;
        page.text(LabelWidth + column * CellSize, top, CellSize, NumberHeight, QString::number(step + 1), 6.5,
                  Qt::AlignCenter, false, column < inUse ? Ink : Faint);
    }
    for (int row = 0; row < ChannelsPerGroup; ++row) {
        const double rowTop = cellsTop + row * (CellSize + RowGap);
        page.text(0, rowTop, LabelWidth - 4, CellSize, QStringLiteral("CH%1").arg(row + 1), 9,
                  Qt::AlignRight | Qt::AlignVCenter, true);
        const int channel = group * ChannelsPerGroup + row;
        for (int column = 0; column < StepsPerPage; ++column) {
            const int step = pageOfSteps * StepsPerPage + column;
            paintCell(page, LabelWidth + column * CellSize, rowTop, sheet.chart.at(step, channel),
                      column < inUse);
        }
    }
    const double cellsHeight = ChannelsPerGroup * (CellSize + RowGap) - RowGap;
    page.frame(LabelWidth, cellsTop, StepsPerPage * CellSize, cellsHeight, Rule, 0.5);
    // Where the window's marker starts: at the first step out of use, reaching above and below the rows.
    const double markerLeft = LabelWidth + inUse * CellSize - MarkerWidth / 2;
    page.fill(markerLeft, top + 2, MarkerWidth, NumberHeight - 2 + cellsHeight + MarkerOverhang, Navy);
}

void paintLegend(Page& page, const QList<int>& groups)
{
    page.text(0, LegendTop - 16, 200, 14, QStringLiteral("凡例（要素・コード）"), 9,
              Qt::AlignLeft | Qt::AlignVCenter, true);
    const double columnWidth = ContentWidth / LegendColumns;
    for (const ElementRow& row : ElementTable) {
        const double left = (row.ordinal % LegendColumns) * columnWidth;
        const double top = LegendTop + (row.ordinal / LegendColumns) * LegendRowHeight;
        Artwork::paintElement(page.painter(), page.rect(left, top, LegendPicture, LegendPicture),
                              row.ordinal);
        const double textLeft = left + LegendPicture + 5;
        const double textWidth = columnWidth - LegendPicture - 6;
        page.text(textLeft, top, textWidth, 12, QString::fromLatin1(row.caption), 9,
                  Qt::AlignLeft | Qt::AlignVCenter, true);
        page.text(textLeft, top + 12, textWidth, 10,
                  QStringLiteral("コード %1").arg(QString(elementCharacter(row.ordinal))), 7,
                  Qt::AlignLeft | Qt::AlignVCenter, false, Faint);
    }

    double top = LegendTop + 2 * LegendRowHeight + 4;
    Artwork::paintElement(page.painter(), page.rect(0, top, 14, 14), OffOrdinal, Artwork::Tone::Greyed);
    page.text(20, top, 250, 14, QStringLiteral("灰色：ステップ数より後の、使わないステップ"), 8);
    page.fill(290, top - 1, MarkerWidth, 16, Navy);
    page.text(298, top, 300, 14, QStringLiteral("紺の縦線：終わりの印（ステップ数の後）"), 8);
    QStringList omitted;
    for (int group = 0; group < Groups; ++group)
        if (!groups.contains(group))
            omitted << groupName(group);
    if (!omitted.isEmpty()) {
        top += 18;
        page.text(0, top, ContentWidth, 14,
                  QStringLiteral("省略したグループ（使うステップの全チャンネルが OFF）：%1")
                      .arg(omitted.join(QStringLiteral("、"))),
                  8);
    }
}

void paintFooter(Page& page, int number, int count)
{
    page.fill(0, ContentHeight - 16, ContentWidth, 0.5, Rule);
    page.text(0, ContentHeight - 14, ContentWidth, 14, QStringLiteral("%1 / %2").arg(number).arg(count), 9,
              Qt::AlignCenter);
    page.text(0, ContentHeight - 14, 200, 14, QStringLiteral("TRV5KB Programmer"), 7,
              Qt::AlignLeft | Qt::AlignVCenter, false, Faint);
}

} // namespace

QString unsavedChartName()
{
    return QStringLiteral("（保存されていないチャート）");
}

QList<int> sheetGroups(const ChartSheet& sheet)
{
    const ElementCode off = ElementCode::ofOrdinal(OffOrdinal);
    QList<int> groups;
    for (int group = 0; group < Groups; ++group) {
        bool allOff = true;
        for (int step = 0; step < PatternTable::UsedSteps && allOff; ++step) {
            if (!stepInUse(step, sheet.stepCount))
                continue;
            for (int row = 0; row < ChannelsPerGroup && allOff; ++row)
                allOff = sheet.chart.at(step, group * ChannelsPerGroup + row) == off;
        }
        if (!allOff)
            groups << group;
    }
    if (groups.isEmpty())
        groups << 0;
    return groups;
}

bool paintChartSheet(QPagedPaintDevice& device, const ChartSheet& sheet, int fromPage, int toPage)
{
    const QList<int> groups = sheetGroups(sheet);
    const int count = int(groups.size());
    const int first = std::clamp(fromPage < 1 ? 1 : fromPage, 1, count);
    const int last = std::clamp(toPage < 1 ? count : toPage, first, count);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int number = first; number <= last; ++number) {
        if (number > first && !device.newPage())
            return false;
        Page page(painter, device);
        const int group = groups[number - 1];
        paintHeader(page, sheet, group);
        for (int pageOfSteps = 0; pageOfSteps < 2; ++pageOfSteps)
            paintBlock(page, sheet, group, pageOfSteps);
        paintLegend(page, groups);
        paintFooter(page, number, count);
    }
    return painter.end();
}

QByteArray chartSheetPdf(const ChartSheet& sheet)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                         QPageLayout::Millimeter));
        writer.setTitle(sheet.fileName.isEmpty() ? unsavedChartName() : sheet.fileName);
        writer.setCreator(QStringLiteral("TRV5KB Programmer"));
        if (!paintChartSheet(writer, sheet))
            return {};
    }
    return bytes;
}
