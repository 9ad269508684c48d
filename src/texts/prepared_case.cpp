#include "texts/prepared_case.h"

#include <utility>

#include "model/pump_event.h"

namespace kelvane {

PreparedCase PrepareCase(Case typed) {
  PreparedCase prepared;
  try {
    prepared.extras = ReadModelExtras(typed.events);
  } catch (...) {
    prepared.eventError = CurrentExceptionAsRunError(Stage::Program);
    prepared.extras = {};
  }
  prepared.design = ReadDesignData(typed.design);
  prepared.designFlags = CheckDesignTexts(typed.design, typed.texts, prepared.extras);
  prepared.eventWarnings = CheckEventTexts(typed.events);
  prepared.typed = std::move(typed);
  return prepared;
}

std::vector<PreparedCase> PrepareCases(std::span<const Case> cases) {
  std::vector<PreparedCase> prepared;
  prepared.reserve(cases.size());
  for (const Case& typed : cases) prepared.push_back(PrepareCase(typed));
  return prepared;
}

PreparedCase WithBoxes(PreparedCase prepared, const InputTexts& texts) {
  prepared.typed.texts = texts;
  prepared.designFlags =
      CheckDesignTexts(prepared.typed.design, prepared.typed.texts, prepared.extras);
  return prepared;
}

std::vector<InputFlag> CheckCaseInputs(const PreparedCase& prepared, InputCheckOptions options) {
  return CheckInputs(prepared.typed.texts, CaseCheckOptions(prepared.extras, options));
}

}  // namespace kelvane
