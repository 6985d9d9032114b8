#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/Form1.h"
#include "chart/ElementTable.h"
#include "edit/CellClick.h"
#include "edit/Choices.h"
#include "edit/PageSwitch.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <functional>

namespace {

// Each group tab: the caption that takes the click and the shape that shows the highlight.
struct GroupTab
{
    const char* label;
    const char* shape;
};

constexpr GroupTab GroupTabs[] = {{"Label1", "Shape1"}, {"Label2", "Shape2"}, {"Label3", "Shape3"},
                                  {"Label4", "Shape6"}, {"Label5", "Shape7"}, {"Label6", "Shape8"},
                                  {"Label7", "Shape9"}, {"Label8", "Shape10"}};

struct RangeBox
{
    const char* name;
    qint16 WindowState::*range;
};

constexpr RangeBox RangeBoxes[] = {{"Combo2", &WindowState::BatchChannel},
                                   {"Combo3", &WindowState::BatchFromStep},
                                   {"Combo4", &WindowState::BatchToStep}};

// Only an item chosen from the list counts; text typed into a box and not chosen changes nothing.
// Once the user is done with a box it shows the value in use again, so a pick refused during a
// transfer or text never chosen cannot pass for the value the chart and the controller get.
void connectChoiceBox(QObject* context, QComboBox* box, const std::function<void(const QString&)>& click,
                      const std::function<QString()>& inUse)
{
    const auto showInUse = [box, inUse] { showInComboBox(box, inUse()); };
    QObject::connect(box, &QComboBox::activated, context, [box, click, showInUse](int index) {
        click(box->itemText(index));
        showInUse();
    });
    QObject::connect(box->lineEdit(), &QLineEdit::editingFinished, context, showInUse);
}

} // namespace

void Form1::connectEditing()
{
    for (int i = 0; i < GridSize; ++i)
        connect(m_cells[std::size_t(i)], &ClickLabel::clicked, this, [this, i](Qt::KeyboardModifiers keys) {
            if (keys & Qt::ShiftModifier)
                selectTo(i);
            else
                Picture1_Click(i);
        });
    for (const ElementRow& row : ElementTable) {
        connect(control<QAbstractButton>(row.samePatternButton), &QAbstractButton::clicked, this,
                [this, &row] { paletteClick(row, PaletteKind::SamePattern); });
        connect(control<QAbstractButton>(row.batchButton), &QAbstractButton::clicked, this,
                [this, &row] { paletteClick(row, PaletteKind::Batch); });
    }
    connect(findChild<QButtonGroup*>(QStringLiteral("EditModeOptions")), &QButtonGroup::idClicked, this,
            [this](int mode) { Option_Click(EditingMode(mode)); });
    for (const RangeBox& box : RangeBoxes)
        connectChoiceBox(
            this, control<QComboBox>(box.name),
            [this, range = box.range](const QString& text) { rangeBox_Click(range, text); },
            [this, range = box.range] { return QString::number(m_state.*range + 1); });
    connectChoiceBox(
        this, control<QComboBox>("Combo1"), [this](const QString& text) { Combo1_Click(text); },
        [this] { return QString::number(m_state.StepCount); });
    for (int group = 0; group < int(std::size(GroupTabs)); ++group)
        connect(control<ClickLabel>(GroupTabs[group].label), &ClickLabel::clicked, this,
                [this, group] { groupLabel_Click(group); });
    connect(control<QAbstractButton>("Command6"), &QAbstractButton::clicked, this,
            [this] { pageButton_Click(1, 0); });
    connect(control<QAbstractButton>("Command7"), &QAbstractButton::clicked, this,
            [this] { pageButton_Click(0, 1); });
}

void Form1::Picture1_Click(int index)
{
    if (!StatusReset())
        return;
    clearSelection();
    ChartChange change = cellClick(m_state, index);
    if (change.isEmpty())
        return;
    // Only the clicked cell is repainted.
    paintCell(index, change.cells.front().after);
    commitChange(std::move(change));
}

void Form1::paletteClick(const ElementRow& row, PaletteKind palette)
{
    if (!StatusReset())
        return;
    if (palette == PaletteKind::SamePattern) {
        if (chooseElement(m_state, row.ordinal))
            m_picture2->setPixmap(m_elementHolders[std::size_t(row.ordinal)]->pixmap());
    } else if (std::optional<BatchFill> fill = batchFill(m_state, row.ordinal)) {
        m_state.BatchElement = fill->element;
        commitChange(std::move(fill->change));
        RedrawChart();
    }
}

void Form1::Option_Click(EditingMode mode)
{
    // The mode options act during a transfer too, so they clear the status without the busy test.
    m_state.Status = StatusDisplay{};
    showStatus();
    m_state.EditMode = mode;
}

void Form1::rangeBox_Click(qint16 WindowState::*range, const QString& text)
{
    if (!StatusReset())
        return;
    if (const std::optional<qint16> value = rangeChoice(text))
        m_state.*range = *value;
}

void Form1::Combo1_Click(const QString& text)
{
    if (!StatusReset())
        return;
    ChartChange change = stepCountPick(m_state.StepCount, text);
    if (change.isEmpty())
        return;
    commitChange(std::move(change));
    if (m_state.CurrentPage == 0 || m_state.CurrentPage == 1)
        PlaceEndMarker(m_state.CurrentPage);
}

void Form1::groupLabel_Click(int group)
{
    if (!StatusReset())
        return;
    showGroup(group);
}

void Form1::showGroup(int group)
{
    clearSelection();
    m_state.CurrentGroup = qint16(group);
    // The tab of the group shown takes the panel's colour, as group A's does at start.
    for (int tab = 0; tab < int(std::size(GroupTabs)); ++tab)
        control<ShapeWidget>(GroupTabs[tab].shape)
            ->setFillColor(layoutColour(tab == group ? Layout::Violet : Layout::Lavender));
    RedrawChart();
}

void Form1::pageButton_Click(int from, int to)
{
    if (!StatusReset())
        return;
    if (!switchPage(m_state, from, to))
        return;
    showPage(to);
}

void Form1::showPage(int page)
{
    clearSelection();
    m_label28->setText(pageCaption(page));
    m_picture4->setPixmap(m_pageHolders[std::size_t(page)]->pixmap());
    DrawPage(page);
    PlaceEndMarker(page);
}
