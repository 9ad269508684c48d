// Cases of the free-surface and mixed-flow model for the tests: an open
// trapezoidal channel and a box culvert whose soffit a pump start draws the
// forebay below.
#pragma once

#include "support/cases.h"

namespace kelvane::test {

inline EventTexts MixedModel(const char* section = nullptr) {
  EventTexts events;
  events.model = "mixed";
  if (section != nullptr) events.section = section;
  return events;
}

// A 6 m wide channel with sides of 1.5:1, its bed 4.66 m to 5.16 m below the
// default reservoir level.
inline const DesignItems kChannel = {{DesignId::CulvertWidth, "6"},
                                     {DesignId::ChannelSideSlope, "1.5"},
                                     {DesignId::CulvertInvertUpstream, "-9"},
                                     {DesignId::CulvertInvertDownstream, "-9.5"}};

// The pump discharge rising from 20 to 41.6 m³/s at once.
inline const BoxTexts kPumpStart = {{InputId::StepCount, "1500"},
                                    {InputId::SteadyDischarge, "20"},
                                    {InputId::FinalPumpDischarge, "41.6"}};

// A pump start on the channel, with its banks and freeboard.
inline Case PumpStartOnChannel() {
  DesignItems design = kChannel;
  design.insert(design.end(), {{DesignId::ChannelBankTopUpstream, "-3"},
                               {DesignId::ChannelBankTopDownstream, "-3.5"},
                               {DesignId::ChannelFreeboard, "0.3"}});
  return CaseWith(kPumpStart, design, MixedModel("channel"));
}

// A pump start on a 6 × 5.3 m box whose soffits lie from -4.7 to -5.2 m, full
// at the start. The start to 41.6 m³/s draws the forebay up to 9 cm below the
// outlet's soffit while the culvert runs out faster than air could run in:
// it stays full. A start to `discharge` m³/s given here draws it lower.
inline Case PumpStartDrainingBox(const char* discharge = nullptr) {
  const DesignItems box = {{DesignId::CulvertWidth, "6"},
                           {DesignId::CulvertHeight, "5.3"},
                           {DesignId::CulvertInvertUpstream, "-10"},
                           {DesignId::CulvertInvertDownstream, "-10.5"},
                           {DesignId::PumpMinLevel, "-9"}};
  Case typed = CaseWith(kPumpStart, box, MixedModel("box"));
  if (discharge != nullptr) {
    typed.texts[InputId::StepCount] = "2000";
    typed.texts[InputId::FinalPumpDischarge] = discharge;
  }
  return typed;
}

}  // namespace kelvane::test
