// One case as the user types it: the sixteen input texts, the design data,
// the pump event and the forebay table, the title and the notes, every one a
// text exactly as typed. The case file, the command line and the windows
// fill it; PrepareCase reads it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/inputs.h"
#include "texts/design_data.h"
#include "texts/event_texts.h"

namespace kelvane {

struct Case {
  std::string title;  // "" when none
  std::string notes;  // "" when none; may hold line breaks
  InputTexts texts = DefaultInputTexts();
  DesignTexts design = {};  // the design items given; none by default
  EventTexts events = {};   // the pump event and area table; none by default

  bool operator==(const Case&) const = default;
};

// An operating case of a station (工况): its name and what differs from the
// base case, each change a batch option's name with its text, made in
// their order ("reservoir-level" = "-3.5"; a table as its option writes it,
// "0:41.6,10:0"). run/case_item.h makes the Case of it.
struct OperatingCase {
  std::string name;
  std::vector<std::pair<std::string, std::string>> changes;

  bool operator==(const OperatingCase&) const = default;
};

}  // namespace kelvane
