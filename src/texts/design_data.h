// The design data of the structure: the culvert's invert and clear height,
// its design internal pressure, the forebay's wall top and freeboard, the
// pumps' minimum operating level, and the site's elevation and the water's
// temperature that set the vacuum limit. Every item is optional and absent by
// default; the run does not use them, only the design checks of its results
// do. Like the input boxes, each item is kept as the text typed and read by
// the leading-number rule.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace kelvane {

// The items in their order; the rows are in texts/design_items.def.
enum class DesignId {
#define KELVANE_DESIGN_ITEM(id, option, caption, unit) id,
#include "texts/design_items.def"
};
constexpr int kDesignCount = 0
#define KELVANE_DESIGN_ITEM(id, option, caption, unit) +1  // NOLINT(bugprone-macro-parentheses)
#include "texts/design_items.def"
    ;

struct DesignField {
  DesignId id;
  const char* option;   // batch option and case-file key, "culvert-height"
  const char* caption;  // "箱涵净高"
  const char* unit;     // "m"
};
// The items in their order.
const std::array<DesignField, kDesignCount>& DesignFields();
const DesignField& Field(DesignId id);

// The texts of the items given, exactly as typed (UTF-8); an item not given
// holds no text.
class DesignTexts {
 public:
  std::optional<std::string>& operator[](DesignId id) {
    return texts_[static_cast<std::size_t>(id)];
  }
  const std::optional<std::string>& operator[](DesignId id) const {
    return texts_[static_cast<std::size_t>(id)];
  }
  // Whether any item is given.
  bool Any() const;
  bool operator==(const DesignTexts&) const = default;

 private:
  std::array<std::optional<std::string>, kDesignCount> texts_;
};

// The values read from the texts given (m); nullopt where no text is given
// or the text holds nothing but blanks (a box left empty).
struct DesignData {
  std::array<std::optional<double>, kDesignCount> values;

  const std::optional<double>& operator[](DesignId id) const {
    return values[static_cast<std::size_t>(id)];
  }
  std::optional<double>& operator[](DesignId id) { return values[static_cast<std::size_t>(id)]; }
  bool Any() const;
};

// Each text given read by the leading-number rule, as a box reads its text;
// an empty or blank text is no item.
DesignData ReadDesignData(const DesignTexts& texts);

// Whether the culvert's soffit is known: both inverts and the clear height
// given.
bool CulvertGiven(const DesignData& data);

// The soffit elevation at `node` (1-based) of `reaches`: the invert linear
// between the two ends plus the clear height, m (double).
double SoffitAt(const DesignData& data, int node, int reaches);

// Without the site's elevation and the water's temperature the vacuum limit
// takes the atmosphere's head at sea level and the vapour pressure head of
// water at 20 °C (101.325 kPa and 2.34 kPa over the unit weight of water).
constexpr double kAtmosphericHead = 10.33;    // m of water
constexpr double kVapourPressureHead = 0.24;  // m of water, at kWaterTemperature
constexpr double kWaterTemperature = 20;      // °C
constexpr double kWaterUnitWeight = 9.79;     // kN/m³
// The saturation pressures are tabled over these temperatures; the
// altitude correction is meant for sites within these elevations.
constexpr double kLowestTabledTemperature = 0;    // °C
constexpr double kHighestTabledTemperature = 40;  // °C
constexpr double kLowestSiteElevation = -100;     // m
constexpr double kHighestSiteElevation = 5000;    // m

// The atmosphere's head at a site `elevation` m above sea level, corrected
// for altitude as pump intakes are: 10.33 - elevation / 900, m.
double AtmosphericHeadAt(double elevation);
// The saturation pressure of water at `temperature` °C, from the table at
// whole degrees 0..40 °C, linear between (the table's end value beyond it),
// kPa.
double SaturationPressureAt(double temperature);
// That pressure over the unit weight of water, m.
double VapourHeadAt(double temperature);

// How far the head may fall below the soffit before the water boils there:
// the atmosphere's head less the vapour pressure head.
struct VacuumLimit {
  double atmosphericHead = kAtmosphericHead;                    // m
  double vapourHead = kVapourPressureHead;                      // m
  double Head() const { return atmosphericHead - vapourHead; }  // m
};
// The limit of the site's elevation and the water's temperature where given;
// either not given keeps its sea-level or 20 °C value above.
VacuumLimit VacuumLimitOf(const DesignData& data);

}  // namespace kelvane
