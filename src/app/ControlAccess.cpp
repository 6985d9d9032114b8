#include "app/ControlAccess.h"

#include "chart/ElementTable.h"

#include <QList>
#include <QWidget>

namespace {

const char* const GroupTabs[] = {"Label1", "Label2", "Label3", "Label4",
                                 "Label5", "Label6", "Label7", "Label8"};

// The controls Tab reaches between the group tabs and the palettes, and after the palettes.
const char* const BeforePalettes[] = {"ChartGrid", "Command6", "Command7", "Option1", "Option2", "Option3"};
const char* const AfterPalettes[] = {"Combo2",   "Combo3",   "Combo4",   "Combo1",   "Command1",
                                     "Command2", "Command3", "Command4", "Command5", "Comportbox"};

template <typename T = QWidget> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "ControlAccess", name);
    return found;
}

} // namespace

void applyTabOrder(QWidget* window)
{
    QList<const char*> order;
    for (const char* name : GroupTabs)
        order << name;
    for (const char* name : BeforePalettes)
        order << name;
    // Each palette in the order of the element table, which is the order its buttons are read in.
    for (const ElementRow& row : ElementTable)
        order << row.samePatternButton;
    for (const ElementRow& row : ElementTable)
        order << row.batchButton;
    for (const char* name : AfterPalettes)
        order << name;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(child(window, order[i - 1]), child(window, order[i]));
}
