// A case read once: the pump event and area table and the design data as
// numbers, with what cannot be used or looks wrong as data. Everything that
// runs or judges a case reads these instead of its texts again.
#pragma once

#include <optional>
#include <vector>

#include "run/case.h"
#include "solver/design_data.h"
#include "solver/errors.h"
#include "solver/input_check.h"
#include "solver/pump_event.h"

namespace kelvane {

struct PreparedCase {
  Case typed;
  // The pump event and area table read from typed.events; the sudden change
  // and the constant area when none is given or they cannot be read.
  ModelExtras extras;
  // The first fault of typed.events (Stage::EventInput): the case cannot run.
  std::optional<RunError> eventError;
  DesignData design;                    // typed.design read by the box rule
  std::vector<DesignFlag> designFlags;  // the design items not read as typed
};

PreparedCase PrepareCase(Case typed);

// The input check of the case's sixteen texts, with the smallest area of its
// level–area table in place of the forebay box when a table is in force.
std::vector<InputFlag> CheckCaseInputs(const PreparedCase& prepared,
                                       InputCheckOptions options = {});

}  // namespace kelvane
