// The potentials that count as a protected hull, by hull material and reference electrode.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace logdata {

enum class THullMaterial { Aluminium, Steel, Bronze };
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
    std::string_view Name; // as the "Hull Material" list shows it
    TProtectionBand AgAgCl;
    std::string_view Source;
};

// A zinc reference reads this much more positive than Ag/AgCl for the same hull.
inline constexpr int ZincOverAgAgClMv = 1050;

const TBandPreset& PresetFor(THullMaterial material);

// From the header's texts ("Aluminium", "Steel", "Bronze"; "Zinc", "Ag AgCl"); nullopt for "?"
// and anything else.
std::optional<THullMaterial> MaterialFromText(std::string_view text);
std::optional<TReference> ReferenceFromText(std::string_view text);
std::string_view ReferenceText(TReference reference);

// The preset band expressed against the given reference electrode.
TProtectionBand PresetBand(THullMaterial material, TReference reference);

enum class TProtection { Under, Protected, Over };

// One interval with its lowest and highest reading. Any moment above the band counts as
// under-protected, the hull's real risk; otherwise any moment below it as over-protected.
TProtection Classify(int min, int max, const TProtectionBand& band);

} // namespace logdata
