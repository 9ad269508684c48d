#include "run/prepared_case.h"

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

std::vector<InputFlag> CheckCaseInputs(const PreparedCase& prepared, InputCheckOptions options) {
  return CheckInputs(prepared.typed.texts, CaseCheckOptions(prepared.extras, options));
}

}  // namespace kelvane
