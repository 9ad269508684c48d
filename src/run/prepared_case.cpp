#include "run/prepared_case.h"

#include <utility>

#include "solver/pump_event.h"

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
  const std::vector<ForebayPoint>& table = prepared.extras.forebay.areaTable;
  options.forebayTableInForce = !table.empty();
  return CheckInputs(prepared.typed.texts, options);
}

}  // namespace kelvane
