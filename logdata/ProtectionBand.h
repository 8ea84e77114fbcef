// The potentials that count as a protected hull, by hull and reference electrode, and where
// each preset's limits come from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logdata {

// The logger's own material list knows "Aluminium", "Steel" and "Bronze"; the bronze of a
// small craft sits in fittings on a fibreglass or wooden hull, so both of those are offered.
enum class THullMaterial { Aluminium, Steel, HighStrengthSteel, FibreglassBronze, Wood };
enum class TReference { AgAgCl, Zinc };

// Potentials are negative against Ag/AgCl: Upper is the less negative limit (above it the hull
// is under-protected), Lower the more negative one (below it over-protected).
struct TProtectionBand {
    int Upper = 0;
    int Lower = 0;
    bool operator==(const TProtectionBand&) const = default;
};

struct TBandPreset {
    THullMaterial Material;
    std::string_view Name; // as the viewer's preset list shows it
    TProtectionBand AgAgCl;
    std::string_view Source;
};

// A zinc reference reads this much more positive than Ag/AgCl for the same hull.
inline constexpr int ZincOverAgAgClMv = 1050;
// A zinc reference drifts with the water and its own surface; its readings are only good to
// about this much either way.
inline constexpr int ZincUncertaintyMv = 30;

// Every preset in the order the viewer lists them.
const std::vector<TBandPreset>& Presets();
const TBandPreset& PresetFor(THullMaterial material);

// From the header's texts ("Aluminium", "Steel", "Bronze", or a preset's name; "Zinc",
// "Ag AgCl"); nullopt for "?" and anything else.
std::optional<THullMaterial> MaterialFromText(std::string_view text);
std::optional<TReference> ReferenceFromText(std::string_view text);
std::string_view ReferenceText(TReference reference);

// The preset band expressed against the given reference electrode.
TProtectionBand PresetBand(THullMaterial material, TReference reference);

// The preset whose band against the reference is exactly this one; nullopt for a band of the
// user's own.
std::optional<THullMaterial> PresetWithBand(const TProtectionBand& band, TReference reference);

// The preset for a log's "Hull Material" and "Reference Type" texts; a log that does not say
// is taken as steel against Ag/AgCl, the most common hull and the probe most loggers carry.
TProtectionBand BandForHeader(std::string_view material, std::string_view refType);

enum class TProtection { Under, Protected, Over };

// One interval with its lowest and highest reading. Any moment above the band counts as
// under-protected, the hull's real risk; otherwise any moment below it as over-protected.
TProtection Classify(int min, int max, const TProtectionBand& band);

} // namespace logdata
