#include "texts/prepared_case.h"

#include <utility>

#include "model/pump_event.h"

namespace kelvane {

PreparedCase PrepareCase(Case typed) {
  // Made from the case itself, not from a default case's texts.
  PreparedCase prepared{std::move(typed), {}, {}, {}, {}, {}};
  const Case& read = prepared.typed;
  try {
    prepared.extras = ReadModelExtras(read.events);
  } catch (...) {
    prepared.eventError = CurrentExceptionAsRunError(Stage::Program);
    prepared.extras = {};
  }
  prepared.design = ReadDesignData(read.design);
  prepared.designFlags = CheckDesignTexts(read.design, read.texts, prepared.extras);
  prepared.eventWarnings = CheckEventTexts(read.events);
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
