#include "app/Contrast.h"

#include <algorithm>
#include <cmath>

namespace app {

namespace {

double Channel(double C) {
    return C <= 0.03928 ? C / 12.92 : std::pow((C + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& C) {
    return 0.2126 * Channel(C.redF()) + 0.7152 * Channel(C.greenF()) + 0.0722 * Channel(C.blueF());
}

} // namespace

double ContrastRatio(const QColor& A, const QColor& B) {
    const double La = Luminance(A), Lb = Luminance(B);
    return (std::max(La, Lb) + 0.05) / (std::min(La, Lb) + 0.05);
}

QColor Readable(const QColor& Wanted, const QColor& Background, double Ratio) {
    if (ContrastRatio(Wanted, Background) >= Ratio)
        return Wanted;
    // A dark background leaves room above it, a light one below.
    const bool Lighter = Luminance(Background) < 0.18;
    const QColor Hsl = Wanted.toHsl();
    QColor Best = Lighter ? QColor(Qt::white) : QColor(Qt::black);
    for (int Step = 1; Step <= 100; ++Step) {
        const double L = Lighter ? Hsl.lightnessF() + (1.0 - Hsl.lightnessF()) * Step / 100.0
                                 : Hsl.lightnessF() * (1.0 - Step / 100.0);
        const QColor Tried =
            QColor::fromHslF(std::max(0.0f, Hsl.hslHueF()), Hsl.hslSaturationF(), L).toRgb();
        if (ContrastRatio(Tried, Background) >= Ratio) {
            Best = Tried;
            break;
        }
    }
    return Best;
}

} // namespace app
