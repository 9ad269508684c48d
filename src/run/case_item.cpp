#include "run/case_item.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "solver/event_texts.h"
#include "solver/inputs.h"
#include "solver/number_format.h"

namespace kelvane {
namespace {

// The event parts a study or an operating case can set, by their batch
// option.
struct EventItem {
  EventField field;
  const char* option;
  const char* unit;
};
constexpr EventItem kEventItems[] = {
    {EventField::RampTime, "pump-ramp-time", "s"},
    {EventField::RampExponent, "pump-ramp-exponent", ""},
    {EventField::PumpSchedule, "pump-schedule", ""},
    {EventField::PumpUnits, "pump-units", ""},
    {EventField::ForebayAreaTable, "forebay-area-table", ""},
    {EventField::Model, "model", ""},
    {EventField::Section, "section", ""},
};

const EventItem& ItemOf(EventField field) {
  return *std::find_if(std::begin(kEventItems), std::end(kEventItems),
                       [&](const EventItem& item) { return item.field == field; });
}

}  // namespace

const char* CaseItem::Option() const {
  if (event) return ItemOf(*event).option;
  return input ? Field(*input).option : Field(*design).option;
}

const char* CaseItem::Caption() const {
  if (event) return EventFieldName(*event).data();  // a literal, terminated
  return input ? Field(*input).caption : Field(*design).caption;
}

const char* CaseItem::Unit() const {
  if (event) return ItemOf(*event).unit;
  return input ? Field(*input).unit : Field(*design).unit;
}

bool CaseItem::Table() const {
  return event == EventField::PumpSchedule || event == EventField::ForebayAreaTable;
}

std::optional<CaseItem> CaseItemByOption(std::string_view option) {
  for (const InputField& field : InputFields()) {
    if (option == field.option) return field.id;
  }
  for (const DesignField& field : DesignFields()) {
    if (option == field.option) return field.id;
  }
  for (const EventItem& item : kEventItems) {
    if (option == item.option) return item.field;
  }
  return std::nullopt;
}

std::vector<CaseItem> AllCaseItems() {
  std::vector<CaseItem> items;
  for (const InputField& field : InputFields()) items.emplace_back(field.id);
  for (const DesignField& field : DesignFields()) items.emplace_back(field.id);
  for (const EventItem& item : kEventItems) items.emplace_back(item.field);
  return items;
}

void SetCaseText(Case& typed, const CaseItem& item, std::string_view text) {
  if (item.input) {
    typed.texts[*item.input] = std::string(text);
  } else if (item.design) {
    typed.design[*item.design] = std::string(text);
  } else {
    SetEventText(typed.events, *item.event, text);
  }
}

Case OperatingCaseOf(const Case& base, const OperatingCase& operating) {
  Case typed = base;
  typed.title = operating.name;
  for (const auto& [option, text] : operating.changes) {
    if (const std::optional<CaseItem> item = CaseItemByOption(option)) {
      SetCaseText(typed, *item, text);
    }
  }
  return typed;
}

namespace {

// A number's text as the book's tables print its value: the shortest text of
// the value in the precision the run holds it ("-5.0" is -5, as the inputs'
// table reads it); a table, or a text the number does not take whole, as
// typed.
std::string ValueText(const CaseItem& item, const std::string& text) {
  if (item.Table()) return text;
  const LeadingNumberScan scan = ScanLeadingNumber(text);
  if (!scan.digits || scan.length != scan.clean.size()) return text;
  const double value = ReadLeadingNumber(text);
  if (!std::isfinite(value)) return text;
  if (!item.input) return ShortestText(value);
  switch (PrecisionOf(*item.input)) {
    case InputPrecision::Single:
      return ShortestText(static_cast<float>(value));
    case InputPrecision::Int16: {
      std::int16_t count = 0;
      return ToInt16(value, count) ? std::to_string(count) : text;
    }
    case InputPrecision::Double:
      break;
  }
  return ShortestText(value);
}

}  // namespace

std::string OperatingCaseDifferences(const OperatingCase& operating) {
  std::string out;
  for (const auto& [option, text] : operating.changes) {
    const std::optional<CaseItem> item = CaseItemByOption(option);
    if (!item) continue;
    const std::string unit = item->Unit();
    out += (out.empty() ? "" : "；") + std::string(item->Caption()) + " " + ValueText(*item, text) +
           (unit.empty() ? "" : " " + unit);
  }
  return out;
}

}  // namespace kelvane
