#include "logdata/ProtectionBand.h"

#include <algorithm>
#include <array>

namespace logdata {

namespace {

// Against Ag/AgCl in sea water. Published figures differ by 50 to 100 mV, which is why the
// viewer lets the user move both limits for the log at hand.
constexpr std::array<TBandPreset, 3> Presets = {{
    {THullMaterial::Aluminium,
     "Aluminium",
     {-900, -1100},
     "small-craft range as survey guides quote ABYC E-2; aluminium suffers from "
     "over-protection below -1100 mV"},
    {THullMaterial::Steel,
     "Steel",
     {-800, -1050},
     "small-craft range as survey guides quote ABYC E-2; -800 mV is also the usual "
     "protection potential for steel in aerated sea water (EN 12473)"},
    {THullMaterial::Bronze,
     "Bronze",
     {-550, -900},
     "range commonly quoted for copper alloys (bronze, brass) on small craft; the "
     "least settled of the three"},
}};

} // namespace

const TBandPreset& PresetFor(THullMaterial material) {
    return *std::find_if(Presets.begin(), Presets.end(),
                         [&](const TBandPreset& p) { return p.Material == material; });
}

std::optional<THullMaterial> MaterialFromText(std::string_view text) {
    for (const TBandPreset& p : Presets) {
        if (p.Name == text) {
            return p.Material;
        }
    }
    return std::nullopt;
}

std::optional<TReference> ReferenceFromText(std::string_view text) {
    if (text == "Zinc") {
        return TReference::Zinc;
    }
    if (text == "Ag AgCl") {
        return TReference::AgAgCl;
    }
    return std::nullopt;
}

std::string_view ReferenceText(TReference reference) {
    return reference == TReference::Zinc ? "Zinc" : "Ag AgCl";
}

TProtectionBand PresetBand(THullMaterial material, TReference reference) {
    TProtectionBand band = PresetFor(material).AgAgCl;
    if (reference == TReference::Zinc) {
        band.Upper += ZincOverAgAgClMv;
        band.Lower += ZincOverAgAgClMv;
    }
    return band;
}

TProtection Classify(int min, int max, const TProtectionBand& band) {
    if (max > band.Upper) {
        return TProtection::Under;
    }
    if (min < band.Lower) {
        return TProtection::Over;
    }
    return TProtection::Protected;
}

} // namespace logdata
