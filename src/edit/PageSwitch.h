#pragma once

#include "state/WindowState.h"

#include <QString>

// The caption of `Label28` for a page.
QString pageCaption(int page);

// Goes from page `from` to page `to` (the two page buttons); false, with
// nothing changed, when `from` is not the page shown.
bool switchPage(WindowState& state, int from, int to);
