// A case read once: the pump event and area table and the design data as
// numbers, with what cannot be used or looks wrong as data. Everything that
// runs or judges a case reads these instead of its texts again.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "model/errors.h"
#include "model/pump_event.h"
#include "texts/case.h"
#include "texts/design_data.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"

namespace kelvane {

struct PreparedCase {
  Case typed;
  // typed.texts read by the leading-number rule (a default case's until
  // prepared).
  InputNumbers numbers = ReadInputNumbers(DefaultInputTexts());
  // The pump event and area table read from typed.events; the sudden change
  // and the constant area when none is given or they cannot be read.
  ModelExtras extras;
  // The first fault of typed.events (Stage::EventInput): the case cannot run.
  std::optional<RunError> eventError;
  DesignData design;                    // typed.design read by the box rule
  std::vector<DesignFlag> designFlags;  // the design items not read as typed
  // What the pump event leaves doubtful (CheckEventTexts; the area table
  // against the stability limit is checked where the limit is known).
  std::vector<EventWarning> eventWarnings;
};

PreparedCase PrepareCase(Case typed);
// PrepareCase(typed) of a case that shares most of what is typed with
// `like` (a study's case and its base): the boxes, the events and the
// design data typed as in `like` are not read again, nor the design flags
// where neither they nor what they read differ.
PreparedCase PrepareCase(Case&& typed, const PreparedCase& like);
// Each case prepared, in order.
std::vector<PreparedCase> PrepareCases(std::span<const Case> cases);
// The same case with other boxes: PrepareCase of it, what does not read the
// boxes (the events and design data) kept as it was read.
PreparedCase WithBoxes(const PreparedCase& prepared, const InputTexts& texts);

// The input check of the case's sixteen texts; the forebay box is not
// checked while a level–area table is in force.
std::vector<InputFlag> CheckCaseInputs(const PreparedCase& prepared,
                                       InputCheckOptions options = {});

}  // namespace kelvane
