#include "solver/design_data.h"

#include <algorithm>

#include "solver/inputs.h"

namespace kelvane {

const std::array<DesignField, kDesignCount>& DesignFields() {
  static const std::array<DesignField, kDesignCount> fields{{
      {DesignId::CulvertInvertUpstream, "culvert-invert-upstream", "箱涵进口底高程", "m"},
      {DesignId::CulvertInvertDownstream, "culvert-invert-downstream", "箱涵出口底高程", "m"},
      {DesignId::CulvertHeight, "culvert-height", "箱涵净高", "m"},
      {DesignId::CulvertDesignPressureHead, "culvert-design-pressure-head", "箱涵设计内水压力水头",
       "m"},
      {DesignId::ForebayWallTop, "forebay-wall-top", "前池墙顶高程", "m"},
      {DesignId::ForebayFreeboard, "forebay-freeboard", "前池安全超高", "m"},
      {DesignId::PumpMinLevel, "pump-min-level", "水泵最低运行水位", "m"},
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

}  // namespace kelvane
