#pragma once

#include "chart/ElementTable.h"

#include <array>

class ChoiceBox;
class ClickLabel;
class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QRadioButton;
class QWidget;
class ShapeWidget;

// The window's controls as typed pointers, found once after the layout table
// has built them, as Qt's generated Ui classes hold theirs. The design's names
// stay the widgets' object names; the members say what each control is for.
// The chart's own widget is the chart view's.
struct FormControls
{
    // The group tabs: the caption that takes the click (Label1 ...) and the
    // shape that shows which group is shown (Shape1 ...), groups A to H.
    std::array<ClickLabel*, 8> groupTabs{};
    std::array<ShapeWidget*, 8> groupTabShapes{};
    ShapeWidget* endMarker = nullptr;        // Shape5
    QLabel* pageStrip = nullptr;             // Picture4
    QLabel* pageCaption = nullptr;           // Label28
    QAbstractButton* previousPage = nullptr; // Command6
    QAbstractButton* nextPage = nullptr;     // Command7

    QGroupBox* editingFrame = nullptr; // Frame1
    // The mode options Option1 to Option3, in the order of EditingMode.
    std::array<QRadioButton*, 3> modes{};
    QButtonGroup* modeGroup = nullptr;
    QLabel* preview = nullptr; // Picture2
    // Each element's button in the two palettes, by ordinal.
    std::array<QAbstractButton*, ElementCount> samePatternPalette{};
    std::array<QAbstractButton*, ElementCount> batchPalette{};
    ChoiceBox* batchChannel = nullptr;  // Combo2
    ChoiceBox* batchFromStep = nullptr; // Combo3
    ChoiceBox* batchToStep = nullptr;   // Combo4
    // The captions beside the boxes, which label them: Label24, Label25, Label26.
    QLabel* batchChannelCaption = nullptr;
    QLabel* batchRangeCaption = nullptr;
    QLabel* batchRangeToCaption = nullptr;

    ChoiceBox* stepCount = nullptr;     // Combo1
    QLabel* stepCountCaption = nullptr; // Label9
    QAbstractButton* write = nullptr;   // Command1
    ShapeWidget* statusLamp = nullptr;  // Shape11
    QLabel* statusCaption = nullptr;    // disp1
    // The pattern files' buttons, slot 1 then slot 2.
    std::array<QAbstractButton*, 2> saveSlot{}; // Command2, Command4
    std::array<QAbstractButton*, 2> loadSlot{}; // Command3, Command5
    ChoiceBox* port = nullptr;                  // Comportbox
    QLabel* portCaption = nullptr;              // Label10
    QLabel* logo = nullptr;                     // Image1

    // The controls the layout table built in `window`, found by their names;
    // the mode options are put in one button group here.
    static FormControls find(QWidget* window);
};
