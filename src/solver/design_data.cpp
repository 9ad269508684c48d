#include "solver/design_data.h"

#include <algorithm>

#include "solver/inputs.h"

namespace kelvane {

const std::array<DesignField, kDesignCount>& DesignFields() {
  static const std::array<DesignField, kDesignCount> fields{{
#define KELVANE_DESIGN_ITEM(id, option, caption, unit) {DesignId::id, option, caption, unit},
#include "solver/design_items.def"
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

double SoffitAt(const DesignData& data, int node, int reaches) {
  const double upstream = data[DesignId::CulvertInvertUpstream].value_or(0);
  const double downstream = data[DesignId::CulvertInvertDownstream].value_or(0);
  const double fraction = reaches > 0 ? double(node - 1) / reaches : 0;
  return upstream + (downstream - upstream) * fraction + data[DesignId::CulvertHeight].value_or(0);
}

}  // namespace kelvane
