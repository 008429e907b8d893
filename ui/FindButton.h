#pragma once

#include <windows.h>

// The find button of a list window: owner drawn, composed off screen and copied in one block.

// The rectangle, relative to the box's top-left corner, that an image occupies when scaled to fit
// the box with its aspect ratio kept and centred on the free axis (single-precision ratios,
// truncation toward zero).
RECT FitRectKeepAspect(SIZE image, SIZE box);

// Draws the find button of a draw request off screen in memDC and copies it in one block.
void DrawFindButton(HDC memDC, const DRAWITEMSTRUCT& item);
