// A case read once: what PrepareCase keeps as data, and the same case with
// other boxes read again only where the boxes count.
#include "texts/prepared_case.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "support/cases.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

using test::CaseWith;

// The events and design texts read once: what cannot be used, and what does
// not read as typed, stays with the case as data.
TEST(PrepareCase, EventFaultsAndDesignFlagsAreData) {
  EventTexts badRamp;
  badRamp.rampTime = "-3";
  EventTexts bothSchedules;
  bothSchedules.schedule = SplitPairsText("0:41.6,10:0");
  bothSchedules.units = "4:-10.4:0:30:10";
  EventTexts table;
  table.areaTable = SplitPairsText("-10:450,0:2700");
  struct Row {
    const char* name;
    Case typed;
    bool eventError;
    std::vector<DesignId> flagged;
    std::size_t tablePoints;
    bool designRead;  // some design item holds a value
  };
  const Row rows[] = {
      {"defaults", Case{}, false, {}, 0, false},
      {"negative ramp", CaseWith({}, {}, badRamp), true, {}, 0, false},
      {"schedule and units", CaseWith({}, {}, bothSchedules), true, {}, 0, false},
      {"area table", CaseWith({}, {}, table), false, {}, 2, false},
      {"height with its unit",
       CaseWith({}, {{DesignId::CulvertHeight, "3.2m"}}),
       false,
       {DesignId::CulvertHeight},
       0,
       true},
      {"negative freeboard and a blank item",
       CaseWith({}, {{DesignId::ForebayFreeboard, "-1"}, {DesignId::PumpMinLevel, " "}}),
       false,
       {DesignId::ForebayFreeboard},
       0,
       true},
      {"blank items only", CaseWith({}, {{DesignId::PumpMinLevel, " "}}), false, {}, 0, false},
  };
  for (const Row& row : rows) {
    const PreparedCase prepared = PrepareCase(row.typed);
    EXPECT_EQ(prepared.typed, row.typed) << row.name;
    EXPECT_EQ(prepared.eventError.has_value(), row.eventError) << row.name;
    if (prepared.eventError) {
      EXPECT_EQ(prepared.eventError->location().stage, Stage::EventInput) << row.name;
    }
    std::vector<DesignId> flagged;
    for (const DesignFlag& flag : prepared.designFlags) flagged.push_back(flag.item);
    EXPECT_EQ(flagged, row.flagged) << row.name;
    EXPECT_EQ(prepared.extras.forebay.areaTable.size(), row.tablePoints) << row.name;
    EXPECT_EQ(prepared.design.Any(), row.designRead) << row.name;
  }
}

// The stability check takes a level–area table's smallest area in place of
// the forebay box, so a table decides whether the area box is flagged.
// Under a level–area table the forebay box is not checked at all; a table
// whose smallest area lies below the stability limit is warned about as the
// table.
TEST(PrepareCase, InputCheckLeavesTheBoxToTheTable) {
  EventTexts wide, narrow;
  wide.areaTable = SplitPairsText("-10:450,0:2700");
  narrow.areaTable = SplitPairsText("-10:0.01,0:2700");
  const auto areaFlagged = [](const Case& typed) {
    for (const InputFlag& flag : CheckCaseInputs(PrepareCase(typed))) {
      if (flag.input == InputId::ForebayArea) return true;
    }
    return false;
  };
  const test::BoxTexts tinyBox = {{InputId::ForebayArea, "0.01"}};  // below 0.0105 m²
  EXPECT_FALSE(areaFlagged(Case{}));
  EXPECT_TRUE(areaFlagged(CaseWith(tinyBox)));
  EXPECT_FALSE(areaFlagged(CaseWith(tinyBox, {}, wide)));
  EXPECT_FALSE(areaFlagged(CaseWith({}, {}, narrow)));
  const auto tableWarned = [](const EventTexts& events) {
    return CheckEventTexts(events, RunStabilityLimit(DefaultInputTexts())).size() == 1;
  };
  EXPECT_FALSE(tableWarned(wide));
  EXPECT_TRUE(tableWarned(narrow));
}

// Whether `got` holds what `expected` holds, the boxes' numbers bit for bit.
void ExpectSamePrepared(const PreparedCase& got, const PreparedCase& expected,
                        const std::string& name) {
  EXPECT_EQ(got.typed, expected.typed) << name;
  for (InputId id : AllInputs()) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.numbers[id]),
              std::bit_cast<std::uint64_t>(expected.numbers[id]))
        << name << ": " << Field(id).option;
  }
  EXPECT_EQ(got.extras, expected.extras) << name;
  EXPECT_EQ(got.eventError.has_value(), expected.eventError.has_value()) << name;
  EXPECT_EQ(got.design.values, expected.design.values) << name;
  EXPECT_EQ(got.designFlags, expected.designFlags) << name;
  EXPECT_EQ(got.eventWarnings, expected.eventWarnings) << name;
}

// WithBoxes is PrepareCase of the case with the other boxes: the numbers
// and the design flags read against the new boxes (inverts that agree with
// one slope and not with another), the rest as it was read.
TEST(PrepareCase, WithBoxesIsTheCasePreparedWithThem) {
  EventTexts ramp;
  ramp.rampTime = "30";
  const test::DesignItems sloped = {{DesignId::CulvertInvertUpstream, "-10"},
                                    {DesignId::CulvertInvertDownstream, "-14.415"},
                                    {DesignId::CulvertHeight, "4.8"},
                                    {DesignId::PumpMinLevel, "-6"}};
  const Case cases[] = {Case{}, CaseWith({}, sloped), CaseWith({}, sloped, ramp),
                        CaseWith({{InputId::SteadyDischarge, "0"}}, sloped)};
  const test::BoxTexts boxes[] = {{},
                                  {{InputId::SteadyDischarge, "0"}},
                                  {{InputId::ReservoirLevel, "-1"}},
                                  {{InputId::CulvertSlope, "0.001"}},
                                  {{InputId::StepCount, "80"}, {InputId::CulvertArea, "x"}}};
  int flagsMoved = 0;
  for (std::size_t c = 0; c < std::size(cases); ++c) {
    const PreparedCase prepared = PrepareCase(cases[c]);
    for (std::size_t b = 0; b < std::size(boxes); ++b) {
      Case other = cases[c];
      other.texts = test::TextsWith(boxes[b]);
      const PreparedCase expected = PrepareCase(other);
      ExpectSamePrepared(WithBoxes(prepared, other.texts), expected,
                         "case " + std::to_string(c) + " boxes " + std::to_string(b));
      flagsMoved += expected.designFlags != prepared.designFlags;
    }
  }
  EXPECT_GT(flagsMoved, 0);  // some boxes do decide the flags
}

// A case prepared like another (a study's case like its base) is the case
// prepared alone, whichever of its boxes, events and design data it shares:
// an event that fails in one and not the other, design items that read the
// boxes or not.
TEST(PrepareCase, LikeAnotherIsTheCasePreparedAlone) {
  EventTexts ramp, badRamp, table;
  ramp.rampTime = "30";
  badRamp.rampTime = "-3";
  table.areaTable = SplitPairsText("-10:450,0:2700");
  const test::DesignItems sloped = {{DesignId::CulvertInvertUpstream, "-10"},
                                    {DesignId::CulvertInvertDownstream, "-14.415"},
                                    {DesignId::CulvertHeight, "4.8"}};
  const test::DesignItems level = {{DesignId::PumpMinLevel, "-6"}};
  const test::BoxTexts slope = {{InputId::CulvertSlope, "0.001"}, {InputId::StepCount, "80"}};
  const Case cases[] = {
      Case{},
      CaseWith(slope),
      CaseWith({}, sloped),
      CaseWith(slope, sloped),
      CaseWith(slope, level, ramp),
      CaseWith({}, level, badRamp),
      CaseWith({{InputId::ForebayArea, "x"}}, sloped, table),
  };
  for (std::size_t l = 0; l < std::size(cases); ++l) {
    const PreparedCase like = PrepareCase(cases[l]);
    for (std::size_t c = 0; c < std::size(cases); ++c) {
      ExpectSamePrepared(PrepareCase(Case(cases[c]), like), PrepareCase(cases[c]),
                         "case " + std::to_string(c) + " like " + std::to_string(l));
    }
  }
}

}  // namespace
}  // namespace kelvane
