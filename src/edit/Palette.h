#pragma once

#include "state/WindowState.h"

// The two element palettes. Each press names an element by its ordinal; the
// palette that does not belong to the current mode changes nothing.
enum class PaletteKind { SamePattern, Batch };

// Same-pattern palette: the element becomes the one a click places. False
// (nothing changed) outside same-pattern mode.
bool chooseElement(WindowState& state, int ordinal);

// Batch palette: the element fills the batch range of absolute steps in the
// chosen channel of the group shown. False (nothing changed) outside batch
// mode or when the range runs backwards.
bool batchFill(WindowState& state, int ordinal);
