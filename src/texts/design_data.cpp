#include "texts/design_data.h"

#include <algorithm>
#include <cmath>

#include "model/inputs.h"

namespace kelvane {

const std::array<DesignField, kDesignCount>& DesignFields() {
  static const std::array<DesignField, kDesignCount> fields{{
#define KELVANE_DESIGN_ITEM(id, option, caption, unit) {DesignId::id, option, caption, unit},
#include "texts/design_items.def"
  }};
  return fields;
}

const DesignField& Field(DesignId id) { return DesignFields()[static_cast<std::size_t>(id)]; }

bool DesignTexts::Any() const {
  return std::any_of(texts_.begin(), texts_.end(), [](const auto& text) { return bool(text); });
}

bool DesignData::Any() const {
  return std::any_of(values.begin(), values.end(), [](const auto& value) { return bool(value); });
}

DesignData ReadDesignData(const DesignTexts& texts) {
  DesignData data;
  for (const DesignField& field : DesignFields()) {
    // A text of blanks alone is an item left empty, not a level of 0.
    if (texts[field.id] && !ScanLeadingNumber(*texts[field.id]).clean.empty()) {
      data[field.id] = ReadLeadingNumber(*texts[field.id]);
    }
  }
  return data;
}

bool CulvertGiven(const DesignData& data) {
  return data[DesignId::CulvertInvertUpstream] && data[DesignId::CulvertInvertDownstream] &&
         data[DesignId::CulvertHeight];
}

double AtmosphericHeadAt(double elevation) { return kAtmosphericHead - elevation / 900; }

double SaturationPressureAt(double temperature) {
  // kPa at 0, 1, ..., 40 °C: the IAPWS-IF97 saturation-pressure equation
  // at whole degrees, to four decimals.
  static constexpr std::array<double, 41> kPressure = {
      0.6112, 0.6571, 0.7060, 0.7581, 0.8135, 0.8726, 0.9354, 1.0021, 1.0730, 1.1483, 1.2282,
      1.3129, 1.4028, 1.4981, 1.5989, 1.7057, 1.8188, 1.9383, 2.0647, 2.1982, 2.3392, 2.4881,
      2.6452, 2.8109, 2.9856, 3.1697, 3.3637, 3.5679, 3.7828, 4.0089, 4.2467, 4.4966, 4.7592,
      5.0351, 5.3247, 5.6286, 5.9475, 6.2818, 6.6324, 6.9997, 7.3844};
  const double t = std::clamp(temperature, kLowestTabledTemperature, kHighestTabledTemperature);
  // A temperature that is no number reads as the table's start.
  const auto below = std::isnan(t) ? std::size_t{0} : static_cast<std::size_t>(std::floor(t));
  if (below + 1 >= kPressure.size()) return kPressure.back();
  const double fraction = std::isnan(t) ? 0 : t - double(below);
  return kPressure[below] + (kPressure[below + 1] - kPressure[below]) * fraction;
}

double VapourHeadAt(double temperature) {
  return SaturationPressureAt(temperature) / kWaterUnitWeight;
}

VacuumLimit VacuumLimitOf(const DesignData& data) {
  VacuumLimit limit;
  if (const auto& elevation = data[DesignId::SiteElevation]) {
    limit.atmosphericHead = AtmosphericHeadAt(*elevation);
  }
  if (const auto& temperature = data[DesignId::WaterTemperature]) {
    limit.vapourHead = VapourHeadAt(*temperature);
  }
  return limit;
}

double SoffitAt(const DesignData& data, int node, int reaches) {
  const double upstream = data[DesignId::CulvertInvertUpstream].value_or(0);
  const double downstream = data[DesignId::CulvertInvertDownstream].value_or(0);
  const double fraction = reaches > 0 ? double(node - 1) / reaches : 0;
  return upstream + (downstream - upstream) * fraction + data[DesignId::CulvertHeight].value_or(0);
}

}  // namespace kelvane
