#include "report/governing_case.h"

#include <tuple>
#include <vector>

#include "solver/pump_event.h"

namespace kelvane {

CheckVerdict VerdictOf(const CheckRow& row) { return row.verdict; }

double CheckMargin(const CheckRow& row) {
  const bool atMost = Field(row.kind).atMost;
  return atMost ? double(row.limit) - double(row.value) : double(row.value) - double(row.limit);
}

CaseCheck CaseCheckOf(std::size_t caseIndex, const CheckRow& row) {
  return {caseIndex, VerdictOf(row), CheckMargin(row)};
}

std::size_t GoverningCheck(std::span<const CaseCheck> checks) {
  std::size_t governing = 0;
  for (std::size_t i = 1; i < checks.size(); ++i) {
    const CaseCheck& c = checks[i];
    const CaseCheck& g = checks[governing];
    if (c.verdict != g.verdict) {
      if (c.verdict < g.verdict) governing = i;
      continue;
    }
    // Within one verdict the margin decides where it means something: the
    // largest shortfall, the least margin kept.
    const bool byMargin = c.verdict == CheckVerdict::Fail || c.verdict == CheckVerdict::Pass;
    if (byMargin && c.margin < g.margin) governing = i;
  }
  return governing;
}

double VariedValue(const RunOutcome& outcome, VariedItem item) {
  switch (item) {
    case VariedItem::RampTime:
      return outcome.extras.pump.rampTime;
    case VariedItem::ForebayArea: {
      const std::vector<ForebayPoint>& table = outcome.extras.forebay.areaTable;
      return table.empty() ? outcome.parameters.ForebayArea : SmallestForebayArea(table);
    }
  }
  return 0;
}

namespace {

bool SameParameters(const RunParameters& a, const RunParameters& b) {
  const auto fields = [](const RunParameters& p) {
    return std::tie(p.SteadyDischarge, p.IntakeHeadLoss, p.ReservoirLevel, p.SegmentCount,
                    p.StepCount, p.FrictionFactor, p.CulvertSlope, p.HydraulicRadius, p.ForebayArea,
                    p.CulvertArea, p.WaveSpeed, p.CulvertLength, p.FirstOutputStep,
                    p.LastOutputStep, p.OutputInterval, p.FinalPumpDischarge);
  };
  return fields(a) == fields(b);
}

}  // namespace

bool DifferInAlone(const CaseGiven& a, const CaseGiven& b, VariedItem item) {
  if (VariedValue(*a.outcome, item) == VariedValue(*b.outcome, item)) return false;
  if (a.design->values != b.design->values) return false;
  // b with a's value of the item must be a itself.
  RunParameters parameters = b.outcome->parameters;
  ModelExtras extras = b.outcome->extras;
  switch (item) {
    case VariedItem::RampTime:
      extras.pump.rampTime = a.outcome->extras.pump.rampTime;
      break;
    case VariedItem::ForebayArea:
      parameters.ForebayArea = a.outcome->parameters.ForebayArea;
      extras.forebay = a.outcome->extras.forebay;
      break;
  }
  return SameParameters(parameters, a.outcome->parameters) && extras == a.outcome->extras;
}

std::optional<std::size_t> LeastPassingAlone(std::span<const CaseCheck> checks,
                                             std::size_t governing,
                                             std::span<const CaseGiven> given, VariedItem item) {
  const CaseGiven& g = given[checks[governing].caseIndex];
  std::optional<std::size_t> least;
  for (const CaseCheck& check : checks) {
    if (check.verdict != CheckVerdict::Pass) continue;
    const CaseGiven& c = given[check.caseIndex];
    if (!DifferInAlone(g, c, item)) continue;
    if (!least || VariedValue(*c.outcome, item) < VariedValue(*given[*least].outcome, item))
      least = check.caseIndex;
  }
  return least;
}

}  // namespace kelvane
