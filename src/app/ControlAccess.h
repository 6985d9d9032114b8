#pragma once

class QWidget;

// The window for keyboard users: the order in which Tab reaches the controls.

// The Tab order of the window's controls, in the order the eye reads the
// window: group tabs, chart, page buttons, mode options, the two palettes,
// the batch boxes, step count, write, the pattern files, the port. Every
// control that takes the focus is in it.
void applyTabOrder(QWidget* window);
