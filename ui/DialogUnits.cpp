#include "ui/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>

#include <cstdint>

DialogBaseUnits MeasureDialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Average over 52 letters, rounded: (sum / 26 + 1) / 2.
    DialogBaseUnits units;
    units.charWidth = (letters / 26 + 1) / 2;
    units.charHeight = metrics.height();
    return units;
}

int MulDivRound(int a, int b, int c)
{
    if (c == 0) {
        return 0;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int DluToPixelsX(const DialogBaseUnits& units, int x)
{
    return MulDivRound(x, units.charWidth, 4);
}

int DluToPixelsY(const DialogBaseUnits& units, int y)
{
    return MulDivRound(y, units.charHeight, 8);
}

QRect DluToPixels(const DialogBaseUnits& units, int x, int y, int width, int height)
{
    // Each edge is mapped on its own, as the platform maps a template rectangle.
    const int left = DluToPixelsX(units, x);
    const int top = DluToPixelsY(units, y);
    const int right = DluToPixelsX(units, x + width);
    const int bottom = DluToPixelsY(units, y + height);
    return {left, top, right - left, bottom - top};
}
