#include "app/FormControls.h"

#include "app/Controls.h"
#include "state/WindowState.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <utility>

namespace {

// The tab of each group: its caption, then its shape.
constexpr std::array<std::pair<const char*, const char*>, 8> GroupTabNames{{{"Label1", "Shape1"},
                                                                            {"Label2", "Shape2"},
                                                                            {"Label3", "Shape3"},
                                                                            {"Label4", "Shape6"},
                                                                            {"Label5", "Shape7"},
                                                                            {"Label6", "Shape8"},
                                                                            {"Label7", "Shape9"},
                                                                            {"Label8", "Shape10"}}};

template <typename T> T* named(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "FormControls", name);
    return found;
}

} // namespace

FormControls FormControls::find(QWidget* window)
{
    FormControls c;
    for (std::size_t group = 0; group < GroupTabNames.size(); ++group) {
        c.groupTabs[group] = named<ClickLabel>(window, GroupTabNames[group].first);
        c.groupTabShapes[group] = named<ShapeWidget>(window, GroupTabNames[group].second);
    }
    c.endMarker = named<ShapeWidget>(window, "Shape5");
    c.pageStrip = named<QLabel>(window, "Picture4");
    c.pageCaption = named<QLabel>(window, "Label28");
    c.previousPage = named<QAbstractButton>(window, "Command6");
    c.nextPage = named<QAbstractButton>(window, "Command7");

    c.editingFrame = named<QGroupBox>(window, "Frame1");
    c.modes = {named<QRadioButton>(window, "Option1"), named<QRadioButton>(window, "Option2"),
               named<QRadioButton>(window, "Option3")};
    c.modeGroup = new QButtonGroup(window);
    c.modeGroup->setObjectName(QStringLiteral("EditModeOptions"));
    for (EditingMode mode : {EditingMode::Normal, EditingMode::SamePattern, EditingMode::Batch})
        c.modeGroup->addButton(c.modes[std::size_t(mode)], int(mode));
    c.preview = named<QLabel>(window, "Picture2");
    for (const ElementRow& row : ElementTable) {
        c.samePatternPalette[std::size_t(row.ordinal)] =
            named<QAbstractButton>(window, row.samePatternButton);
        c.batchPalette[std::size_t(row.ordinal)] = named<QAbstractButton>(window, row.batchButton);
    }
    c.batchChannel = named<ChoiceBox>(window, "Combo2");
    c.batchFromStep = named<ChoiceBox>(window, "Combo3");
    c.batchToStep = named<ChoiceBox>(window, "Combo4");
    c.batchChannelCaption = named<QLabel>(window, "Label24");
    c.batchRangeCaption = named<QLabel>(window, "Label25");
    c.batchRangeToCaption = named<QLabel>(window, "Label26");

    c.stepCount = named<ChoiceBox>(window, "Combo1");
    c.stepCountCaption = named<QLabel>(window, "Label9");
    c.write = named<QAbstractButton>(window, "Command1");
    c.statusLamp = named<ShapeWidget>(window, "Shape11");
    c.statusCaption = named<QLabel>(window, "disp1");
    c.saveSlot = {named<QAbstractButton>(window, "Command2"), named<QAbstractButton>(window, "Command4")};
    c.loadSlot = {named<QAbstractButton>(window, "Command3"), named<QAbstractButton>(window, "Command5")};
    c.port = named<ChoiceBox>(window, "Comportbox");
    c.portCaption = named<QLabel>(window, "Label10");
    c.logo = named<QLabel>(window, "Image1");
    return c;
}
