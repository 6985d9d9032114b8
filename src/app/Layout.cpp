#include "app/Layout.h"

#include "app/ChartGeometry.h"
#include "chart/ElementTable.h"
#include "edit/Palette.h"

#include <algorithm>
#include <array>

namespace Layout {
namespace {

constexpr Font Bold975{9.75, true};
constexpr Font Bold825{8.25, true};
constexpr Font Regular975{9.75, false};
constexpr Font Regular825{8.25, false};
constexpr Font Regular675{6.75, false};
constexpr Font Bold12{12, true};

constexpr Control tab(const char* name, double left, quint32 fill = Lavender)
{
    return {.name = name,
            .kind = Kind::RoundedShape,
            .rect = {left, 6, 66.75, 21.75},
            .back = fill,
            .border = Violet};
}

constexpr Control tabLabel(const char* name, double left, const char* caption)
{
    return {.name = name,
            .kind = Kind::Label,
            .rect = {left, 9, 51.75, 12.75},
            .caption = caption,
            .fore = White,
            .font = Bold975,
            .align = Align::Center};
}

// Each beside its row of the grid.
constexpr Control channelLabel(const char* name, int row, const char* caption)
{
    return {.name = name,
            .kind = Kind::Label,
            .rect = {21, ChartGeometry::Top + 3 + ChartGeometry::RowPitch * row, 18.75, row == 4 ? 9 : 9.75},
            .caption = caption,
            .back = Lavender,
            .fore = Navy,
            .font = Bold825,
            .align = Align::Center};
}

constexpr Control roundedFrame(const char* name, double left, double width)
{
    return {.name = name,
            .kind = Kind::RoundedShape,
            .rect = {left, 288, width, 36.75},
            .back = Lavender,
            .border = SystemWindowText};
}

constexpr Control bottomLabel(const char* name, RectPt rect, const char* caption, Align align)
{
    return {.name = name,
            .kind = Kind::Label,
            .rect = rect,
            .caption = caption,
            .fore = Navy,
            .font = Bold975,
            .align = align};
}

constexpr Control band(const char* name, double top, double height)
{
    return {.name = name,
            .kind = Kind::Shape,
            .rect = {21, top, 507.75, height},
            .container = Container::Frame,
            .back = Lavender,
            .border = Violet};
}

constexpr Control frameLabel(const char* name, RectPt rect, const char* caption)
{
    return {.name = name,
            .kind = Kind::Label,
            .rect = rect,
            .container = Container::Frame,
            .caption = caption,
            .back = Lavender};
}

constexpr Control option(const char* name, RectPt rect, const char* caption, const char* toolTip,
                         bool checked)
{
    return {.name = name,
            .kind = Kind::OptionButton,
            .rect = rect,
            .container = Container::Frame,
            .caption = caption,
            .back = Lavender,
            .toolTip = toolTip,
            .checked = checked};
}

constexpr Control rangeBox(const char* name, double left, int count)
{
    return {.name = name,
            .kind = Kind::ComboBox,
            .rect = {left, 240, 30.75, 15},
            .container = Container::Frame,
            .caption = "1",
            .listPrefix = "",
            .listCount = count};
}

constexpr Control button(const char* name, RectPt rect, const char* caption, Font font = {})
{
    return {.name = name, .kind = Kind::PushButton, .rect = rect, .caption = caption, .font = font};
}

constexpr auto W = Container::Window;
constexpr auto F = Container::Frame;
constexpr auto Same = PaletteKind::SamePattern;
constexpr auto Batch = PaletteKind::Batch;

// Where an element's button stands in one of the two palettes; its name and
// caption come from the element table.
struct PalettePlace
{
    PaletteKind palette;
    int ordinal;
    Container container;
    double left;
    double top;
    double width;
};

// clang-format off
constexpr std::array windowRows = {
    // Group tabs: the shapes lie behind the chart panel, which covers their foot.
    tab("Shape1", 9, Violet), // group A is shown at start
    tab("Shape2", 75),
    tab("Shape3", 141),
    tab("Shape6", 207),
    tab("Shape7", 273),
    tab("Shape8", 339),
    tab("Shape9", 405),
    tab("Shape10", 471),

    // Chart panel, end marker and the bottom row's frames.
    Control{.name = "Shape4", .kind = Kind::Shape, .rect = {9, 24, 528.75, 258.75}, .back = Violet,
            .border = Violet},
    // The end marker spans the grid's height. Until the step count or the page changes it stands
    // where the designer left it, inside the last column.
    Control{.name = "Shape5", .kind = Kind::Shape,
            .rect = {519, ChartGeometry::Top, ChartGeometry::MarkerOverhang,
                     ChartGeometry::Height + ChartGeometry::MarkerOverhang},
            .back = Navy},
    Control{.name = "Shape18", .kind = Kind::Shape, .rect = {12.75, 57, 27.75, 87.75}, .back = Lavender},
    roundedFrame("Shape13", 9, 63.75),
    roundedFrame("Shape12", 81, 117.75),
    Control{.name = "Shape11", .kind = Kind::Shape, .rect = {156, 303, 33.75, 15.75}, .back = White},
    roundedFrame("Shape14", 207, 126.75),
    Control{.name = "Shape16", .kind = Kind::Shape, .rect = {213, 290.25, 114.75, 16.5}, .border = Violet},
    Control{.name = "Shape17", .kind = Kind::Shape, .rect = {213, 306, 114.75, 16.5}, .border = Violet},
    roundedFrame("Shape15", 444, 93.75),

    tabLabel("Label1", 16.5, "グループA"),
    tabLabel("Label2", 84, "グループB"),
    tabLabel("Label3", 148.5, "グループC"),
    tabLabel("Label4", 214.5, "グループD"),
    tabLabel("Label5", 280.5, "グループE"),
    tabLabel("Label6", 346.5, "グループF"),
    tabLabel("Label7", 412.5, "グループG"),
    tabLabel("Label8", 478.5, "グループH"),

    Control{.name = "Label22", .kind = Kind::Label, .rect = {240, 45, 75.75, 9.75}, .caption = "ステップ",
            .back = Violet, .fore = Navy, .font = Bold975, .align = Align::Center},
    Control{.name = "Label21", .kind = Kind::Label, .rect = {15, 63, 24.75, 9.75}, .caption = "チャネル",
            .back = Lavender, .fore = Navy, .font = Regular675, .align = Align::Center},
    channelLabel("Label16", 0, "CH1"),
    channelLabel("Label17", 1, "CH2"),
    channelLabel("Label18", 2, "CH3"),
    channelLabel("Label19", 3, "CH4"),
    channelLabel("Label20", 4, "CH5"),
    Control{.name = "Label12", .kind = Kind::Label, .rect = {204, 147, 123.75, 9.75},
            .caption = "調光パターン・チャート", .back = Violet, .fore = Navy, .font = Bold975,
            .align = Align::Center},
    Control{.name = "Label28", .kind = Kind::Label, .rect = {327, 147, 51.75, 9.75}, .caption = "（ページ１）",
            .back = Violet, .fore = Navy, .font = Bold975, .align = Align::Center},

    bottomLabel("Label9", {14.25, 291, 54.75, 12.75}, "ステップ数", Align::Center),
    bottomLabel("Label11", {162, 291, 21.75, 12.75}, "結果", Align::Left),
    Control{.name = "disp1", .kind = Kind::Label, .rect = {159, 306.75, 27.75, 9.75}, .font = Regular825,
            .align = Align::Center},
    bottomLabel("Label13", {216, 291.75, 51.75, 9.75}, "パターン１", Align::Center),
    bottomLabel("Label14", {216, 309.75, 51.75, 9.75}, "パターン２", Align::Center),
    Control{.name = "Image1", .kind = Kind::Image, .rect = {352.5, 291, 74.25, 24.75}},
    Control{.name = "Label15", .kind = Kind::Label, .rect = {351.75, 315, 78.75, 12.75},
            .caption = "www.example.jp", .fore = Lavender, .font = Regular975, .align = Align::Center},
    bottomLabel("Label10", {450, 291, 81.75, 12.75}, "COMポートの選択", Align::Left),

    // Picture boxes, buttons and combo boxes of the window.
    // The step-number strip, one number above each column of the grid.
    Control{.name = "Picture4", .kind = Kind::PictureBox,
            .rect = {ChartGeometry::Left, 57, ChartGeometry::Width, ChartGeometry::CellSize},
            .back = SystemWindowBackground, .fore = SystemWindowText},
    button("Command6", {42, 150, 30.75, 12.75}, "←前へ"),
    button("Command7", {492, 147, 30.75, 12.75}, "次へ→"),
    Control{.name = "Combo1", .kind = Kind::ComboBox, .rect = {24, 303, 30.75, 15}, .caption = "80",
            .back = Lavender, .fore = Navy, .listPrefix = "", .listCount = 80},
    button("Command1", {87, 291, 60.75, 30.75}, "書込", Bold12),
    button("Command2", {270, 291.75, 24.75, 12.75}, "保存"),
    button("Command3", {300, 291, 24.75, 12.75}, "呼出"),
    button("Command4", {270, 308.25, 24.75, 12.75}, "保存"),
    button("Command5", {300, 308.25, 24.75, 12.75}, "呼出"),
    Control{.name = "Comportbox", .kind = Kind::ComboBox, .rect = {468, 303, 48.75, 15}, .caption = "選択",
            .back = Lavender, .fore = Navy, .listPrefix = "COM", .listCount = 20},

    // The editing frame and its children.
    Control{.name = "Frame1", .kind = Kind::Frame, .rect = {15, 162, 519.75, 111.75}, .caption = "設定補助",
            .back = Violet, .fore = Navy, .font = Regular975},
    band("Shape19", 174, 16.5),
    band("Shape20", 189.75, 32),
    band("Shape21", 221, 49.5),
    frameLabel("Label23", {120.5, 193, 63.75, 9.75}, "パターンの指定"),
    frameLabel("Label24", {90, 243, 12.75, 9.75}, "CH"),
    frameLabel("Label25", {141, 243, 54.75, 9.75}, "ステップ範囲"),
    frameLabel("Label26", {228, 243, 12.75, 9.75}, "～"),
    frameLabel("Label27", {276, 237, 33.75, 9.75}, "パターン"),
    frameLabel("Label29", {276, 246, 33.75, 9.75}, "の指定"),
    option("Option1", {24, 177, 69.75, 9.75}, "ノーマル設定", "設定する場所を繰り返しクリックして選択する。", true),
    option("Option2", {24, 193, 96.75, 9.75}, "同一パターン設定→", "パターンを指定してワン・クリックで設定する。",
           false),
    option("Option3", {24, 243, 63.75, 9.75}, "一括設定→",
           "チャネルとステップ範囲を指定し、同一パターンを一括設定する。", false),
    rangeBox("Combo2", 105, 5),
    rangeBox("Combo3", 195, 80),
    rangeBox("Combo4", 240, 80),

    // Children of the window lying in front of the frame; palette buttons follow (PalettePlaces).
    Control{.name = "Picture2", .kind = Kind::PictureBox, .rect = {180, 192, 12, 12},
            .back = SystemWindowBackground, .fore = SystemWindowText},
};

// Where each element's button stands in the two palettes, in stacking order.
constexpr PalettePlace PalettePlaces[] = {
    // In the frame: elements 0 to 9, same-pattern in one row, then batch in two.
    {Same, 0, F, 204, 192, 18.75},
    {Same, 1, F, 225, 192, 30.75},
    {Same, 2, F, 258, 192, 18.75},
    {Same, 3, F, 279, 192, 24.75},
    {Same, 4, F, 306, 192, 27.75},
    {Same, 5, F, 336, 192, 27.75},
    {Same, 6, F, 366, 192, 39.75},
    {Same, 7, F, 408, 192, 39.75},
    {Same, 8, F, 450, 192, 36.75},
    {Same, 9, F, 489, 192, 36.75},
    {Batch, 0, F, 312, 225, 18.75},
    {Batch, 1, F, 333, 225, 30.75},
    {Batch, 2, F, 366, 225, 18.75},
    {Batch, 3, F, 387, 225, 24.75},
    {Batch, 4, F, 414, 225, 27.75},
    {Batch, 5, F, 444, 225, 27.75},
    {Batch, 6, F, 474, 225, 39.75},
    {Batch, 7, F, 312, 240, 39.75},
    {Batch, 8, F, 354, 240, 36.75},
    {Batch, 9, F, 393, 240, 36.75},

    // In front of the frame: elements 10 to 15, same-pattern in one row, then batch in two.
    {Same, 10, W, 204, 207, 36.75},
    {Same, 11, W, 243, 207, 36.75},
    {Same, 12, W, 282, 207, 45.75},
    {Same, 13, W, 330, 207, 45.75},
    {Same, 14, W, 378, 207, 57.75},
    {Same, 15, W, 438, 207, 57.75},
    {Batch, 10, W, 432, 240, 39.75},
    {Batch, 11, W, 474, 240, 39.75},
    {Batch, 12, W, 312, 255, 45.75},
    {Batch, 13, W, 360, 255, 45.75},
    {Batch, 14, W, 408, 255, 57.75},
    {Batch, 15, W, 468, 255, 57.75},
};
// clang-format on

constexpr Control paletteButton(const PalettePlace& place)
{
    const ElementRow& element = ElementTable[std::size_t(place.ordinal)];
    return {.name = place.palette == Same ? element.samePatternButton : element.batchButton,
            .kind = Kind::PushButton,
            .rect = {place.left, place.top, place.width, 12.75},
            .container = place.container,
            .caption = element.caption,
            .back = Lavender,
            .font = Regular825};
}

constexpr bool eachElementOnceInEachPalette()
{
    for (PaletteKind palette : {Same, Batch}) {
        for (int ordinal = 0; ordinal < ElementCount; ++ordinal) {
            const auto count = std::count_if(std::begin(PalettePlaces), std::end(PalettePlaces),
                                             [&](const PalettePlace& place) {
                                                 return place.palette == palette && place.ordinal == ordinal;
                                             });
            if (count != 1)
                return false;
        }
    }
    return true;
}
static_assert(eachElementOnceInEachPalette(), "every element has one button in each palette");

// The window's rows, then the palette buttons: both palettes lie in front of everything else
// in their container.
constexpr auto table = [] {
    std::array<Control, std::size(windowRows) + std::size(PalettePlaces)> rows{};
    const auto buttons = std::copy(windowRows.begin(), windowRows.end(), rows.begin());
    std::transform(std::begin(PalettePlaces), std::end(PalettePlaces), buttons, paletteButton);
    return rows;
}();

} // namespace

std::span<const Control> controls()
{
    return table;
}

} // namespace Layout
