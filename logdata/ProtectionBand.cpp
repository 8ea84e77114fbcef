#include "logdata/ProtectionBand.h"

#include <algorithm>

namespace logdata {

namespace {

// Against Ag/AgCl in sea water. Published figures differ by 50 to 100 mV, which is why the
// viewer lets the user move both limits for the log at hand.
const std::vector<TBandPreset> PresetList = {
    {THullMaterial::Aluminium,
     "Aluminium",
     {-900, -1100},
     "ABYC E-2 small-craft range as survey guides quote it; aluminium suffers from "
     "over-protection (alkali attack) below -1100 mV"},
    {THullMaterial::Steel,
     "Steel",
     {-800, -1050},
     "ABYC E-2 small-craft range; -800 mV is also the protection potential for steel in "
     "aerated sea water in EN 12473"},
    {THullMaterial::HighStrengthSteel,
     "High-strength steel",
     {-800, -950},
     "EN 12473 and DNV-RP-B401: high-strength steels risk hydrogen embrittlement more "
     "negative than about -950 mV"},
    {THullMaterial::FibreglassBronze,
     "Fibreglass hull with bronze fittings",
     {-550, -1100},
     "ABYC E-2 range for bronze underwater fittings as survey guides quote it; more negative "
     "than -1100 mV lifts paint and attacks the hull round the fittings"},
    {THullMaterial::Wood,
     "Wooden hull",
     {-550, -600},
     "survey guides after ABYC E-2: more negative than -600 mV the alkali formed at the "
     "fittings rots the surrounding wood"},
};

} // namespace

const std::vector<TBandPreset>& Presets() {
    return PresetList;
}

const TBandPreset& PresetFor(THullMaterial material) {
    return *std::find_if(PresetList.begin(), PresetList.end(),
                         [&](const TBandPreset& p) { return p.Material == material; });
}

std::optional<THullMaterial> MaterialFromText(std::string_view text) {
    // What the logger calls bronze is fittings on a non-metal hull; fibreglass is the common one.
    if (text == "Bronze") {
        return THullMaterial::FibreglassBronze;
    }
    for (const TBandPreset& p : PresetList) {
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

std::optional<THullMaterial> PresetWithBand(const TProtectionBand& band, TReference reference) {
    for (const TBandPreset& p : PresetList) {
        if (PresetBand(p.Material, reference) == band) {
            return p.Material;
        }
    }
    return std::nullopt;
}

TProtectionBand BandForHeader(std::string_view material, std::string_view refType) {
    return PresetBand(MaterialFromText(material).value_or(THullMaterial::Steel),
                      ReferenceFromText(refType).value_or(TReference::AgAgCl));
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
