#pragma once

#include <QString>

class QLabel;
class QWidget;

// The window for keyboard and screen-reader users: the order in which Tab
// reaches the controls, and the accessible name and description of each.
// A control keeps its caption as its name where the caption says what it is;
// the others are named by the captions beside them or by what they do.

// The Tab order of the window's controls, in the order the eye reads the
// window: group tabs, chart, page buttons, mode options, the two palettes,
// the batch boxes, step count, write, the pattern files, the port. Every
// control that takes the focus is in it.
void applyTabOrder(QWidget* window);

// Names and describes the controls whose captions do not say enough.
void nameControls(QWidget* window);

// The status caption `disp1` is named with the result it shows ("結果: 成功"),
// and each new result is shown to assistive technology as a notification.
void nameStatus(QLabel* caption, const QString& text);

// The preview `Picture2` is named with the element it shows.
void namePreview(QLabel* preview, const QString& elementCaption);
