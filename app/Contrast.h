// Text colours that stay readable on the palette in use, light or dark.
#pragma once

#include <QColor>

namespace app {

// The contrast ratio of two colours by their relative luminance, 1 to 21.
double ContrastRatio(const QColor& A, const QColor& B);

// Wanted's hue, made darker or lighter (whichever way the background leaves more room) until
// it reaches the ratio against Background; text needs 4.5:1 to be read comfortably.
QColor Readable(const QColor& Wanted, const QColor& Background, double Ratio = 4.5);

} // namespace app
