// What one text of a case is named by: a batch option's name stands for an
// input box, an item of the design data, or a part of the pump event or
// the forebay's table. A study's columns and the case file's operating
// cases name what they change this way. Qt-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/errors.h"
#include "model/inputs.h"
#include "texts/case.h"
#include "texts/design_data.h"

namespace kelvane {

// The text of an input box, of an item of the design data, or of a part of
// the pump event or the forebay's table (a table's text written as its
// option's "0:41.6,10:20.8").
struct CaseItem {
  CaseItem(InputId id) : input(id) {}     // NOLINT(google-explicit-constructor)
  CaseItem(DesignId id) : design(id) {}   // NOLINT(google-explicit-constructor)
  CaseItem(EventField id) : event(id) {}  // NOLINT(google-explicit-constructor)
  std::optional<InputId> input;
  std::optional<DesignId> design;
  std::optional<EventField> event;

  const char* Option() const;  // the batch option: "forebay-area", "culvert-height"
  const char* Caption() const;
  const char* Unit() const;  // "" for none
  // Whether its text is a table of pairs (the pump schedule, the area table).
  bool Table() const;
  bool operator==(const CaseItem&) const = default;
};

// The item of a batch option's name, or none.
std::optional<CaseItem> CaseItemByOption(std::string_view option);

// Every item an operating case can set: the input boxes in box order, the
// design data, then the parts of the pump event, the forebay's table and the
// march.
std::vector<CaseItem> AllCaseItems();

// Sets the item's text in `typed` (a schedule replaces a unit sequence and
// the other way round, as SetEventText does).
void SetCaseText(Case& typed, const CaseItem& item, std::string_view text);

// The case `base` with the operating case's changes made, in their order;
// its title is the operating case's name. An unknown option is passed over
// (the case file refuses it on reading).
Case OperatingCaseOf(const Case& base, const OperatingCase& operating);

// What sets the operating case apart, in the book's words: "库水位 -3.5
// m；泵流量变化历时 120 s"; "" when nothing does.
std::string OperatingCaseDifferences(const OperatingCase& operating);

}  // namespace kelvane
