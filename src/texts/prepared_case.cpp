#include "texts/prepared_case.h"

#include <utility>

#include "model/pump_event.h"

namespace kelvane {

namespace {

// The pump event and area table of prepared.typed.events, with its fault
// and warnings.
void ReadEvents(PreparedCase& prepared) {
  const EventTexts& events = prepared.typed.events;
  try {
    prepared.extras = ReadModelExtras(events);
  } catch (...) {
    prepared.eventError = CurrentExceptionAsRunError(Stage::Program);
    prepared.extras = {};
  }
  prepared.eventWarnings = CheckEventTexts(events);
}

}  // namespace

PreparedCase PrepareCase(Case typed) {
  // Made from the case itself, not from a default case's texts.
  PreparedCase prepared{std::move(typed), {}, {}, {}, {}, {}, {}};
  const Case& read = prepared.typed;
  prepared.numbers = ReadInputNumbers(read.texts);
  ReadEvents(prepared);
  prepared.design = ReadDesignData(read.design);
  prepared.designFlags = CheckDesignTexts(read.design, read.texts, prepared.extras);
  return prepared;
}

PreparedCase PrepareCase(Case&& typed, const PreparedCase& like) {
  PreparedCase prepared{std::move(typed), {}, {}, {}, {}, {}, {}};
  const Case& read = prepared.typed;
  prepared.numbers = ReadInputNumbers(read.texts, like.typed.texts, like.numbers);
  const bool sameEvents = read.events == like.typed.events;
  if (sameEvents) {
    prepared.extras = like.extras;
    prepared.eventError = like.eventError;
    prepared.eventWarnings = like.eventWarnings;
  } else {
    ReadEvents(prepared);
  }
  const bool sameDesign = read.design == like.typed.design;
  prepared.design = sameDesign ? like.design : ReadDesignData(read.design);
  // The flags read the design texts, the event's model and, for some items,
  // the boxes.
  const bool sameFlags = sameEvents && sameDesign &&
                         (!DesignCheckReadsInputs(read.design) || read.texts == like.typed.texts);
  prepared.designFlags =
      sameFlags ? like.designFlags : CheckDesignTexts(read.design, read.texts, prepared.extras);
  return prepared;
}

std::vector<PreparedCase> PrepareCases(std::span<const Case> cases) {
  std::vector<PreparedCase> prepared;
  prepared.reserve(cases.size());
  for (const Case& typed : cases) prepared.push_back(PrepareCase(typed));
  return prepared;
}

PreparedCase WithBoxes(const PreparedCase& prepared, const InputTexts& texts) {
  Case typed = prepared.typed;
  typed.texts = texts;
  return PrepareCase(std::move(typed), prepared);
}

std::vector<InputFlag> CheckCaseInputs(const PreparedCase& prepared, InputCheckOptions options) {
  return CheckInputs(prepared.typed.texts, CaseCheckOptions(prepared.extras, options));
}

}  // namespace kelvane
