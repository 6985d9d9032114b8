#pragma once

#include "FormFixture.h"

#include <QKeyCombination>
#include <QList>
#include <QRect>
#include <optional>

class QAction;
class QMenu;

// What a user does with the chart's keys and its context menu.

// Presses keys where the keyboard focus is in the window (the window itself when nothing has it).
void pressKeys(const StartedForm& w, QKeyCombination keys);
// Presses the keys named in `keys` one after the other, each in the portable
// text of QKeySequence ("Right", "Shift+Right", "Ctrl+PgDown", "Space"),
// separated by blanks.
void pressKeys(const StartedForm& w, const QString& keys);
// The Menu key: the platform sends the widget with the focus a context menu event.
void pressMenuKey();
// Tab from the group tabs into the chart.
void tabIntoChart(const StartedForm& w);
// The grid member whose cell the keyboard's cursor frames in a picture of the
// window, none where the window shows no cursor.
std::optional<int> cursorShownAt(const StartedForm& w);
// Where the window shows the selection's orange frame in a picture of it: the
// rectangle the frame's outer edge encloses, none where it shows no frame.
std::optional<QRect> selectionFrameShown(const StartedForm& w);
// A right click on grid member `index`: the chart menu opened there.
QMenu* openChartMenu(const StartedForm& w, int index);
// The item of an open menu whose caption begins with `caption`.
QAction* menuItem(QMenu* menu, const QString& caption);
// Clicks the item of the chart menu opened on `index`; false when it is greyed out.
bool chooseFromChartMenu(const StartedForm& w, int index, const QString& caption);
// Closes the chart menu, if it is open, and gives the window its keys back.
void closeChartMenu(const StartedForm& w);
// Shift and a left click on grid member `index`.
void shiftClickCell(const StartedForm& w, int index);
// Makes the window the active one, as the user's window is, so that its shortcuts act.
bool activate(const StartedForm& w);
// The clipboard's text.
QString clipboardText();
void setClipboardText(const QString& text);
