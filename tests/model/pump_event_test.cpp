// The pump event and the forebay area table: the mean discharge of a step,
// the unit-sequence generator, the readers' faults with their row and
// column, and runs that must keep the bits of the sudden change.
#include "model/pump_event.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "march_test_support.h"
#include "model/model.h"
#include "texts/event_texts.h"
#include "texts/input_check.h"

namespace kelvane {
namespace {

PumpEvent Ramp(double time, double exponent = 1) {
  PumpEvent event;
  event.rampTime = time;
  event.rampExponent = exponent;
  return event;
}

PumpEvent Schedule(std::vector<PumpPoint> points) {
  PumpEvent event;
  event.schedule = std::move(points);
  return event;
}

// The mean of Q(t) over [t0, t1] by Simpson's rule on `pieces` panels.
double SimpsonMean(const PumpDischarge& q, double t0, double t1, int pieces = 20000) {
  const double h = (t1 - t0) / pieces;
  double sum = q.At(t0) + q.At(t1);
  for (int k = 1; k < pieces; ++k) sum += (k % 2 ? 4 : 2) * q.At(t0 + k * h);
  return sum * h / 3 / (t1 - t0);
}

TEST(PumpDischarge, MeanOverAStepIsTheExactIntegral) {
  struct Row {
    const char* what;
    PumpEvent event;
    double t0, t1;
    double mean;  // worked out by hand
  };
  const std::vector<Row> rows = {
      {"linear ramp, first step", Ramp(10), 0, 1, 41.6 * 0.95},
      {"linear ramp, step over its end", Ramp(10), 9, 11, 41.6 * 0.05 / 2},
      {"quadratic ramp, whole", Ramp(10, 2), 0, 10, 41.6 / 3},
      {"square-root ramp, whole", Ramp(10, 0.5), 0, 10, 41.6 / 1.5},
      {"jump inside the step", Schedule({{5, 41.6}, {5, 0}}), 4, 6, 20.8},
      {"before the first point: the steady discharge", Schedule({{5, 20}, {6, 0}}), 0, 2, 41.6},
      {"straddling a point", Schedule({{0, 40}, {10, 20}, {20, 20}}), 9, 11, 20.5},
      {"straddling two points", Schedule({{0, 0}, {1, 10}, {2, 0}}), 0.5, 1.5, 7.5},
      {"jump and slope", Schedule({{0, 10}, {1, 10}, {1, 20}, {3, 0}}), 0, 2, 12.5},
  };
  for (const Row& row : rows) {
    const PumpDischarge q(row.event, 41.6, 0.0f);
    EXPECT_NEAR(q.MeanOver(row.t0, row.t1), row.mean, 1e-12 * 41.6) << row.what;
  }
  // A ramp of any exponent against Simpson's rule, for steps much shorter
  // than the ramp, across its end and inside the first step.
  for (double m : {1.0, 1.7, 2.5, 4.0}) {
    const PumpDischarge q(Ramp(30, m), 41.6, 5.0f);
    for (auto [t0, t1] : {std::pair{0.0, 0.11933}, {12.0, 12.11933}, {29.95, 30.07}, {0.0, 45.0}})
      EXPECT_NEAR(q.MeanOver(t0, t1), SimpsonMean(q, t0, t1), 1e-7) << m << " " << t0;
  }
}

TEST(PumpDischarge, ConstantOverAStepGivesThatValueExactly) {
  const float final = 2.7f;
  const PumpDischarge ramp(Ramp(10), 41.6, final);
  EXPECT_EQ(ramp.MeanOver(10, 10.1), double{final});
  EXPECT_EQ(ramp.MeanOver(123.4, 123.5), double{final});
  const PumpDischarge sudden(PumpEvent{}, 41.6, final);
  EXPECT_TRUE(sudden.Sudden());
  EXPECT_EQ(sudden.MeanOver(0, 0.1193324), double{final});
  const PumpDischarge flat(Schedule({{2, 0.1}, {3, 0.3}, {8, 0.3}}), 0.1, final);
  EXPECT_EQ(flat.MeanOver(0, 1.9), 0.1);  // steady before the first point
  EXPECT_EQ(flat.MeanOver(1, 2), 0.1);    // up to a point
  EXPECT_EQ(flat.MeanOver(3, 4.5), 0.3);  // a flat piece
  EXPECT_EQ(flat.MeanOver(7, 9.5), 0.3);  // across the last point
  EXPECT_EQ(flat.MeanOver(80, 90), 0.3);  // after the last point
  EXPECT_EQ(flat.At(2.5), 0.2);
}

TEST(UnitSequence, FillsTheScheduleWithEveryStartAndEnd) {
  struct Row {
    const char* what;
    UnitSequence units;
    double steady;
    std::vector<PumpPoint> schedule;
  };
  const std::vector<Row> rows = {
      {"two stops, one after the other",
       {2, -10, 0, 30, 10},
       41.6,
       {{0, 41.6}, {10, 31.6}, {30, 31.6}, {40, 21.6}}},
      {"overlapping starts", {2, 10, 0, 5, 10}, 0, {{0, 0}, {5, 5}, {10, 15}, {15, 20}}},
      {"changes at once are jumps",
       {3, -5, 10, 20, 0},
       15,
       {{10, 15}, {10, 10}, {30, 10}, {30, 5}, {50, 5}, {50, 0}}},
      {"all at the same time", {2, -20.8, 5, 0, 0}, 41.6, {{5, 41.6}, {5, 0}}},
  };
  for (const Row& row : rows) {
    const std::vector<PumpPoint> got = UnitSequenceSchedule(row.units, row.steady);
    ASSERT_EQ(got.size(), row.schedule.size()) << row.what;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_DOUBLE_EQ(got[k].time, row.schedule[k].time) << row.what << " point " << k;
      EXPECT_NEAR(got[k].discharge, row.schedule[k].discharge, 1e-12) << row.what << " " << k;
    }
  }
}

struct FaultRow {
  const char* what;
  EventField field;
  const char* text;
  int row, column;
  EventFault fault;
};

ErrorLocation FirstFault(EventField field, const std::string& text) {
  try {
    switch (field) {
      case EventField::RampTime:
        ReadRampTime(text);
        break;
      case EventField::RampExponent:
        ReadRampExponent(text);
        break;
      case EventField::PumpSchedule:
        ReadPumpSchedule(SplitPairsText(text));
        break;
      case EventField::PumpUnits:
        ReadUnitSequence(text);
        break;
      case EventField::ForebayAreaTable:
        ReadForebayAreaTable(SplitPairsText(text));
        break;
      case EventField::Model:
        ReadMarchModel(text);
        break;
      case EventField::Section:
        ReadCulvertSection(text);
        break;
      case EventField::None:
        break;
    }
  } catch (const RunError& error) {
    EXPECT_EQ(error.code(), ErrorCode::InvalidInput);
    return error.location();
  }
  return {};
}

TEST(EventTexts, FaultsNameTheRowAndTheColumn) {
  using enum EventFault;
  constexpr EventField PumpSchedule = EventField::PumpSchedule, PumpUnits = EventField::PumpUnits,
                       ForebayAreaTable = EventField::ForebayAreaTable,
                       RampTime = EventField::RampTime, RampExponent = EventField::RampExponent,
                       Model = EventField::Model, Section = EventField::Section;
  const FaultRow rows[] = {
      {"a non-number", PumpSchedule, "0:41.6,10:abc", 2, 2, NotANumber},
      {"a half-read number", PumpSchedule, "0:41.6m3/s", 1, 2, NotANumber},
      {"time going back", PumpSchedule, "0:41.6,10:20,5:0", 3, 1, TimeGoesBack},
      {"a row numbered as typed", PumpSchedule, "0:41.6,,10", 3, 2, MissingCell},
      {"a third cell", PumpSchedule, "0:1:2", 1, 3, ExtraCell},
      {"an empty table", PumpSchedule, " ", 0, 0, EmptyTable},
      {"a negative time", PumpSchedule, "-1:0", 1, 1, Negative},
      {"a level twice", ForebayAreaTable, "-5:1000,-5:1200", 2, 1, LevelNotRising},
      {"a level going down", ForebayAreaTable, "-5:1000,-6:1200", 2, 1, LevelNotRising},
      {"an area of 0", ForebayAreaTable, "-5:1000,0:0", 2, 2, NotPositive},
      {"a negative area", ForebayAreaTable, "-5:1000,0:-3", 2, 2, NotPositive},
      {"units: one item short", PumpUnits, "2:-10:0:30", 0, 5, MissingCell},
      {"units: half a unit", PumpUnits, "2.5:-10:0:30:10", 0, 1, NotWhole},
      {"units: no unit", PumpUnits, "0:-10:0:30:10", 0, 1, NotPositive},
      {"units: interval below 0", PumpUnits, "2:-10:0:-30:10", 0, 4, Negative},
      {"units: a word", PumpUnits, "2:x:0:30:10", 0, 2, NotANumber},
      {"units: a sixth item", PumpUnits, "2:-10:0:30:10:1", 0, 6, ExtraCell},
      {"ramp time below 0", RampTime, "-3", 0, 0, Negative},
      {"ramp time a word", RampTime, "half a minute", 0, 0, NotANumber},
      {"exponent 0", RampExponent, "0", 0, 0, NotPositive},
      {"a model of another spelling", Model, "Balanced", 0, 0, UnknownModel},
      {"a model with a blank", Model, "balanced ", 0, 0, UnknownModel},
      {"no model named", Model, "", 0, 0, UnknownModel},
      {"a section of another spelling", Section, "Box", 0, 0, UnknownSection},
      {"a section the model has no name for", Section, "circle", 0, 0, UnknownSection},
      {"a time beyond every number", PumpSchedule, "0:41.6,1e400:0", 2, 1, OutOfRange},
      {"an area beyond every number", ForebayAreaTable, "-5:1e400", 1, 2, OutOfRange},
      {"units: an interval beyond every number", PumpUnits, "2:-10:0:1e400:10", 0, 4, OutOfRange},
      {"ramp time beyond every number", RampTime, "-1e999", 0, 0, OutOfRange},
  };
  for (const FaultRow& row : rows) {
    const ErrorLocation at = FirstFault(row.field, row.text);
    EXPECT_EQ(at.stage, Stage::EventInput) << row.what;
    EXPECT_EQ(at.eventField, row.field) << row.what;
    EXPECT_EQ(at.row, row.row) << row.what;
    EXPECT_EQ(at.column, row.column) << row.what;
    EXPECT_EQ(at.eventFault, row.fault) << row.what;
  }
  // The sentence, once: the table, its row and column, and both times.
  EXPECT_EQ(ErrorLocationText(FirstFault(PumpSchedule, "0:41.6,10:20,5:0")),
            "泵流量过程第 3 行“时间 (s)”列：时间 5 早于上一行的 10"
            "（时间不能倒退；同一时间两行表示突变）");
}

// A first row is a heading only without a digit anywhere; quoted numbers
// are numbers, so a first row of them is the first point.
TEST(EventTexts, OnlyAFirstRowWithoutDigitsIsAHeading) {
  struct Row {
    const char* what;
    std::string bytes;
    std::optional<TextRow> heading;
    TextTable rows;
  };
  const Row rows[] = {
      {"quoted numbers",
       "\"0\",\"41.6\"\n30,0\n",
       std::nullopt,
       {{1, {"0", "41.6"}}, {2, {"30", "0"}}}},
      {"a quoted negative level",
       "\"-10\",\"450\"\r\n0,2700\r\n",
       std::nullopt,
       {{1, {"-10", "450"}}, {2, {"0", "2700"}}}},
      {"words", "时间,流量\n0,41.6\n", TextRow{1, {"时间", "流量"}}, {{2, {"0", "41.6"}}}},
      {"quoted words with a comma",
       "\"时间, s\";\"流量\"\n0;41.6\n",
       TextRow{1, {"时间, s", "流量"}},
       {{2, {"0", "41.6"}}}},
      {"units with a digit",
       "time (s),Q (m3/s)\n0,41.6\n",
       std::nullopt,
       {{1, {"time (s)", "Q (m3/s)"}}, {2, {"0", "41.6"}}}},
      {"full-width digits",
       "\xEF\xBC\x90,\xEF\xBC\x94\xEF\xBC\x91\n30,0\n",
       std::nullopt,
       {{1, {"\xEF\xBC\x90", "\xEF\xBC\x94\xEF\xBC\x91"}}, {2, {"30", "0"}}}},
      {"a separator inside quotes", "\"0;5\",1\n", std::nullopt, {{1, {"0;5", "1"}}}},
  };
  for (const Row& row : rows) {
    const CsvTable table = ReadCsvTable(row.bytes);
    EXPECT_EQ(table.heading, row.heading) << row.what;
    EXPECT_EQ(table.rows, row.rows) << row.what;
  }
  // A first row of digits that are no numbers is refused at its cell.
  const std::vector<ErrorLocation> faults =
      CheckEventTable(EventField::PumpSchedule, ReadCsvTable("time (s),Q (m3/s)\n0,41.6\n").rows);
  ASSERT_FALSE(faults.empty());
  EXPECT_EQ(faults[0].row, 1);
  EXPECT_EQ(faults[0].column, 1);
  EXPECT_EQ(faults[0].eventFault, EventFault::NotANumber);

  // Quotes that do not pair name the table and the line.
  for (const auto& [bytes, fault] : {std::pair{"0,41.6\n10,\"20\n", EventFault::OpenQuote},
                                     std::pair{"0,41.6\n10,2\"0\n", EventFault::StrayQuote}}) {
    try {
      ReadCsvTable(bytes, EventField::ForebayAreaTable, "a.csv");
      ADD_FAILURE() << bytes;
    } catch (const RunError& error) {
      EXPECT_EQ(error.location().eventFault, fault) << bytes;
      EXPECT_EQ(error.location().row, 2) << bytes;
      EXPECT_EQ(error.location().eventField, EventField::ForebayAreaTable);
      EXPECT_EQ(error.location().file, "a.csv");
    }
  }
}

TEST(EventTexts, CsvRowsKeepTheirLinesAndEveryBadRowIsFound) {
  const TextTable table = SplitCsv("\xEF\xBB\xBFtime,discharge\r\n0,41.6\r\n\r\n10;x\n5\t1\n");
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0], (TextRow{2, {"0", "41.6"}}));
  EXPECT_EQ(table[1], (TextRow{4, {"10", "x"}}));
  EXPECT_EQ(table[2], (TextRow{5, {"5", "1"}}));
  const std::vector<ErrorLocation> faults = CheckEventTable(EventField::PumpSchedule, table);
  ASSERT_EQ(faults.size(), 1u);  // the bad row is left out; 5 s follows 0 s
  EXPECT_EQ(faults[0].row, 4);
  EXPECT_EQ(faults[0].column, 2);

  // Both given: the reader refuses to pick one.
  EventTexts texts;
  texts.schedule = SplitPairsText("0:0");
  texts.units = "1:-41.6:0:0:0";
  try {
    ReadModelExtras(texts);
    ADD_FAILURE() << "a schedule and units read together";
  } catch (const RunError& error) {
    EXPECT_EQ(error.location().eventFault, EventFault::ScheduleAndUnits);
  }
}

// Runs whose extras amount to the sudden change and the constant area: a
// discharge of 0 from time 0, a single unit stopping at once, a table of one
// area, for one, five and seventeen reaches.
TEST(PumpEventRuns, TheSuddenChangeKeepsItsBits) {
  std::vector<ModelExtras> same(4);
  same[0].pump.schedule = {{0, 0}};
  same[1].pump.units = UnitSequence{1, -41.6, 0, 0, 0};
  same[2].forebay.areaTable = {{-100, 1287.414}, {100, 1287.414}};
  same[3].pump.rampExponent = 3;  // without a ramp time: no ramp
  for (const char* reaches : {"1", "5", "17"}) {
    const InputTexts texts = test::TextsWith({{InputId::SegmentCount, reaches}});
    SurgeRun today;
    Calculate(texts, today);
    for (std::size_t k = 0; k < same.size(); ++k) {
      SurgeRun run;
      CalculateOptions options;
      options.extras = same[k];
      Calculate(texts, run, options);
      EXPECT_TRUE(test::SameBits(run, today)) << reaches << " reaches, case " << k;
    }
  }
}

// A ramp much shorter than the period gives the sudden stop's peak; ramps
// much longer than it lower the peak towards the reservoir level.
TEST(PumpEventRuns, LongerRampsLowerThePeak) {
  const InputTexts texts = test::TextsWith({{InputId::StepCount, "6000"}});
  auto peak = [&](double rampTime) {
    SurgeRun run;
    CalculateOptions options;
    options.extras.pump.rampTime = rampTime;
    Calculate(texts, run, options);
    float highest = -1e30f;
    for (int step = 1; step <= run.StepCount(); ++step)
      highest = std::max(highest, run.Head(run.GridNodes(), step));
    return highest;
  };
  const float sudden = peak(0), short_ramp = peak(1), slow = peak(300), slower = peak(3000);
  EXPECT_NEAR(short_ramp, sudden, 0.002);
  EXPECT_LT(slow, sudden - 0.5f);
  EXPECT_LT(slower, slow);
  EXPECT_LT(slower, -4.34f + 0.1f);  // barely above the reservoir
}

TEST(PumpEventRuns, AnAreaBelowTheStabilityLimitIsReported) {
  struct Row {
    std::vector<ForebayPoint> table;
    bool below;
  };
  const Row rows[] = {
      {{{-6, 1000}, {-2, 2000}}, false},
      {{{-30, 0.001}, {-29, 1000}, {-2, 2000}}, false},  // a small area never reached
      {{{-6, 0.004}, {-5.2, 0.004}, {-4, 1300}}, true},  // used at the start
  };
  for (const Row& row : rows) {
    SurgeRun run;
    CalculateOptions options;
    options.extras.forebay.areaTable = row.table;
    RunOutcome outcome;
    try {
      outcome = Calculate(test::TextsWith({{InputId::StepCount, "40"}}), run, options);
    } catch (const RunError&) {
      ASSERT_TRUE(row.below) << "only a run below the limit may fail";
      continue;
    }
    ASSERT_TRUE(outcome.forebayAreaUse.has_value());
    EXPECT_EQ(outcome.forebayAreaUse->BelowLimit(), row.below) << row.table.front().area;
    EXPECT_GE(outcome.forebayAreaUse->smallestArea, SmallestForebayArea(row.table));
  }
  // Before the run, the table whose smallest area lies below the limit
  // (0.0105 m² for the defaults) is warned about as the table; the box it
  // replaces is not checked at all, whatever it holds.
  for (const auto& [smallest, flagged] : {std::pair{0.004, true}, {450.0, false}}) {
    InputTexts texts = DefaultInputTexts();
    texts[InputId::ForebayArea] = "0.001abc";
    const std::vector<InputFlag> flags = CheckInputs(texts, {.forebayTableInForce = true});
    EXPECT_TRUE(flags.empty()) << smallest;
    EventTexts events;
    events.areaTable = SplitPairsText("-6:" + std::to_string(smallest) + ",-4:1300");
    const std::vector<EventWarning> warnings =
        CheckEventTexts(events, RunStabilityLimit(DefaultInputTexts()));
    ASSERT_EQ(warnings.size(), flagged ? 1u : 0u) << smallest;
    if (!warnings.empty()) {
      EXPECT_EQ(warnings[0].kind, EventWarningKind::AreaBelowStabilityLimit);
      EXPECT_EQ(EventWarningText(warnings[0]),
                "前池水位–面积表：最小面积 0.004 m² 低于稳定下限 0.01053 m²，前池水位计算会发散");
    }
  }
}

}  // namespace
}  // namespace kelvane
