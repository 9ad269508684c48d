// The default run with its summary, and design data from its texts, for the
// tests of the design checks and of the design data drawn on the charts.
#pragma once

#include <map>
#include <string>

#include "evaluation/report.h"
#include "model/model.h"
#include "texts/design_data.h"

namespace kelvane::test {

struct DefaultRun {
  SurgeRun run;
  RunOutcome outcome;
  RunSummary summary;
  DefaultRun() {
    outcome = Calculate(DefaultInputTexts(), run);
    summary = SummarizeRun(run, outcome);
  }
};
// One default run for the whole test program.
inline const DefaultRun& Default() {
  static const DefaultRun run;
  return run;
}

inline DesignData Data(const std::map<DesignId, std::string>& texts) {
  DesignTexts design;
  for (const auto& [id, text] : texts) design[id] = text;
  return ReadDesignData(design);
}

}  // namespace kelvane::test
