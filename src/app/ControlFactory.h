#pragma once

#include "app/Layout.h"

#include <QColor>
#include <QFont>
#include <QWidget>

// Turns rows of the layout table into widgets: kind, place, caption,
// colours and font as the designer set them.

// Where the designer's face is missing, a proportional Japanese Gothic stands in.
void installFontFallback();
QFont layoutFont(const Layout::Font& font);
// A colour of the layout table, system colours resolved.
QColor layoutColour(quint32 value);
// Shapes, labels and pictures are drawn on their container, behind its other controls.
bool drawnOnContainer(Layout::Kind kind);
// The control of `row` as a child of `parent`, whose inside begins at (dx, dy) in window points.
QWidget* createControl(const Layout::Control& row, QWidget* parent, double dx, double dy);
