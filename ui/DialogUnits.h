#pragma once

#include <QRect>

class QFont;

// The dialog base units of a font, as the platform measures them for dialog templates: the average width of
// the 52 Latin letters (rounded) and the font's full line height, in pixels.
struct DialogBaseUnits
{
    int charWidth = 0;
    int charHeight = 0;
};

DialogBaseUnits MeasureDialogBaseUnits(const QFont& font);

// a * b / c rounded to the nearest integer, halves away from zero; 0 when c is 0.
int MulDivRound(int a, int b, int c);

// Dialog units to pixels: x and widths by charWidth / 4, y and heights by charHeight / 8.
int DluToPixelsX(const DialogBaseUnits& units, int x);
int DluToPixelsY(const DialogBaseUnits& units, int y);
QRect DluToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);
