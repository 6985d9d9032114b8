#pragma once

#include <QString>

class ChartGrid;
class QObject;
class QLabel;
class QWidget;
struct FormControls;
struct WindowState;

// The window for keyboard and screen-reader users: the order in which Tab
// reaches the controls, and the accessible name and description of each.
// A control keeps its caption as its name where the caption says what it is;
// the others are named by the captions beside them or by what they do.

// The Tab order of the window's controls, in the order the eye reads the
// window: the group tabs (one stop, at the group shown), the chart, the page
// buttons, the mode options, the same-pattern palette, the batch boxes (set
// before a batch button is pressed), the batch palette, the step count,
// write, the result, the pattern files, the port. Every control that takes
// the focus is in it.
void applyTabOrder(const FormControls& controls, ChartGrid* chart);

// Names and describes the controls whose captions do not say enough, and
// shows screen readers the group tabs as one tab list (the tab shown
// selected) and each palette as a group of buttons (in the same-pattern
// palette, the element chosen checked); `state` says which.
void nameControls(QWidget* window, const FormControls& controls, ChartGrid* chart, const WindowState& state);

// The element chosen in the same-pattern palette has changed from `before`:
// told to screen readers as the buttons' checked states.
void tellPaletteChoice(const FormControls& controls, int before, int after);
// The group shown has changed from `before`: told as the tabs' selected states.
void tellGroupTabChoice(const FormControls& controls, int before, int after);

// The status caption `disp1` is named with the result it shows ("結果: 成功"),
// and each new result is shown to assistive technology as a notification.
void nameStatus(QLabel* caption, const QString& text);

// Drops the accessible interface made for `object` so far; the next one asked
// for is made anew, and screen readers ask it for its name and role again.
void renewAccessibleInterface(QObject* object);

// The preview `Picture2` is named with the element it shows.
void namePreview(QLabel* preview, const QString& elementCaption);
