// A study that sets the pump event: a swept ramp time runs each case as the
// single run of that ramp does, and the CSV names every case's event and
// forebay table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "evaluation/report.h"
#include "run/run_case.h"
#include "study/study.h"
#include "support/texts.h"
#include "texts/event_texts.h"

namespace kelvane {
namespace {

// The forebay's highest level of one run of 8000 steps with `events`.
float SingleRunHighest(const EventTexts& events) {
  const InputTexts texts = test::TextsWith({{InputId::StepCount, "8000"}});
  SurgeRun run;
  CalculateOptions options;
  options.extras = ReadModelExtras(events);
  const RunOutcome outcome = Calculate(texts, run, options);
  return SummarizeRun(run, outcome).forebayHighest.value;
}

// Each case of a swept ramp time has the bits of the single run with that
// ramp, ramp 0 those of the sudden change. Over ramps well beyond the
// quarter period (about 100 s on the defaults) the peak falls towards the
// quasi-steady level with every longer ramp.
TEST(StudyEvent, SweptRampTimeRunsAsSingleRuns) {
  StudyPlan plan;
  plan.Add(ParseSweep("pump-ramp-time=0,120:480:60"));
  StudySettings settings;
  settings.base.texts = test::TextsWith({{InputId::StepCount, "8000"}});
  settings.base.events.rampExponent.emplace("1");
  std::vector<float> peaks;
  RunStudy(plan, settings, PrepareCase(settings.base), [&](const CaseResult& result) {
    ASSERT_EQ(result.status, 0) << result.error;
    peaks.push_back(result.extremes->forebayHighest.value);
  });
  ASSERT_EQ(peaks.size(), 8u);
  EXPECT_EQ(peaks[0], SingleRunHighest({}));
  for (std::size_t k = 1; k < peaks.size(); ++k) {
    const int ramp = 60 + 60 * static_cast<int>(k);  // s
    EventTexts single = settings.base.events;
    single.rampTime = std::to_string(ramp);
    EXPECT_EQ(peaks[k], SingleRunHighest(single)) << "ramp " << ramp << " s";
    if (k > 1) {
      EXPECT_LT(peaks[k], peaks[k - 1]) << "ramp " << ramp << " s";
    }
  }
}

// The event columns stand after the swept options, one cell per case naming
// the case's own event (a case table's schedule replacing the base ramp) and
// the forebay; a study without any event has no such columns.
TEST(StudyEvent, CsvNamesTheEventAndTableOfEachCase) {
  StudyPlan plan;
  plan.Add(ReadCaseTable("step-count,pump-schedule\n200,\"0:41.6,10:0\"\n200,\"0:41.6,0:0\"\n"));
  StudySettings settings;
  settings.base.events.rampTime = "30";
  settings.base.events.areaTable = SplitPairsText("-10:450,0:2700");
  std::string csv = StudyCsvHeader(plan, settings.limits, {}, StudyNamesEvent(plan, settings));
  RunStudy(plan, settings, PrepareCase(settings.base), [&](const CaseResult& r) {
    EXPECT_EQ(r.status, 0) << r.error;
    AppendStudyCsvRow(plan, settings.limits, r, csv);
  });
  EXPECT_TRUE(
      csv.starts_with("case,step-count,pump-schedule,pump_event,forebay_area_table,status,"))
      << csv;
  EXPECT_NE(
      csv.find("\n1,200,\"0:41.6,10:0\",过程表 2 点，0 至 10 s,水位–面积表 2 点，-10 至 0 m,0,"),
      std::string::npos)
      << csv;
  EXPECT_NE(csv.find("\n2,200,\"0:41.6,0:0\",过程表 2 点，0 至 0 s,"), std::string::npos) << csv;

  StudyPlan boxes;
  boxes.Add(ParseSweep("step-count=200"));
  EXPECT_FALSE(StudyNamesEvent(boxes, StudySettings()));
  EXPECT_TRUE(StudyCsvHeader(boxes, {}).starts_with("case,step-count,status,"));
}

// Every case of a study is the CaseRun of its own Case: the base case with
// the case's texts, events and design items set. A swept ramp and wall top
// over a base with design data and an area table.
TEST(StudyEvent, EachCaseIsTheRunOfItsCase) {
  StudyPlan plan;
  plan.Add(ParseSweep("pump-ramp-time=0,40"));
  plan.Add(ParseSweep("forebay-wall-top=-3,-1.5"));
  StudySettings settings;
  settings.base.texts = test::TextsWith({{InputId::StepCount, "600"}});
  settings.base.design[DesignId::ForebayFreeboard] = "0.5";
  settings.base.design[DesignId::PumpMinLevel] = "-6";
  settings.base.events.areaTable = SplitPairsText("-10:450,0:2700");
  int cases = 0;
  RunStudy(plan, settings, PrepareCase(settings.base), [&](const CaseResult& result) {
    ++cases;
    Case typed = settings.base;
    plan.SetCaseTexts(result.number, typed.texts, typed.design, &typed.events);
    const CaseRun done = RunCase(PrepareCase(typed));
    ASSERT_TRUE(done.summary && done.checks) << result.number;
    ASSERT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(result.extremes->forebayHighest.value, done.summary->forebayHighest.value);
    EXPECT_EQ(result.extremes->forebayLowest.value, done.summary->forebayLowest.value);
    ASSERT_EQ(result.checks.size(), done.checks->rows.size());
    for (std::size_t k = 0; k < result.checks.size(); ++k) {
      EXPECT_EQ(result.checks[k].kind, done.checks->rows[k].kind);
      EXPECT_EQ(result.checks[k].verdict, done.checks->rows[k].verdict) << result.number;
    }
  });
  EXPECT_EQ(cases, 4);
}

}  // namespace
}  // namespace kelvane
