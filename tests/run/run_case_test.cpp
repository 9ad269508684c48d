// A case run once: that RunCase's run, summary and checks are those of the
// pieces it joins, and what the prepared case flags is what the run finds.
#include "run/run_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "freesurface/reach.h"
#include "model/run_preview.h"
#include "report/calculation_document.h"
#include "support/cases.h"
#include "support/mixed_cases.h"
#include "texts/prepared_case.h"

namespace kelvane {
namespace {

using test::CaseWith;

const test::DesignItems kWallAndPumps = {{DesignId::ForebayWallTop, "-1.5"},
                                         {DesignId::ForebayFreeboard, "0.5"},
                                         {DesignId::PumpMinLevel, "-6"}};

using test::kChannel;
using test::MixedModel;

// The mixed model takes the section's area and hydraulic radius: the two
// boxes are not checked, and what they hold (a 0, a word) neither stops nor
// moves the run; the classic model still flags them.
TEST(PrepareCase, MixedModelLeavesTheSectionsBoxesUnread) {
  const test::BoxTexts odd = {
      {InputId::StepCount, "300"}, {InputId::CulvertArea, "0"}, {InputId::HydraulicRadius, "abc"}};
  const auto flagged = [](const Case& typed) {
    std::vector<InputId> ids;
    for (const InputFlag& flag : CheckCaseInputs(PrepareCase(typed))) ids.push_back(flag.input);
    return ids;
  };
  EXPECT_EQ(flagged(CaseWith(odd)),
            (std::vector<InputId>{InputId::HydraulicRadius, InputId::CulvertArea}));
  const Case unreadCase = CaseWith(odd, kChannel, MixedModel("channel"));
  EXPECT_TRUE(flagged(unreadCase).empty());
  const CaseRun given = RunCase(
      PrepareCase(CaseWith({{InputId::StepCount, "300"}}, kChannel, MixedModel("channel"))));
  const CaseRun unread = RunCase(PrepareCase(unreadCase));
  ASSERT_TRUE(given.Complete());
  ASSERT_TRUE(unread.Complete()) << unread.error->where();
  EXPECT_TRUE(test::SameGrids(given.run, unread.run));
}

// A culvert flagged before its run as not full at step 1 is one whose run
// leaves the model at step 1, at the same node, whatever the model; and the
// run's checks then find no verdict that rests on later steps valid.
TEST(PrepareCase, CulvertFlaggedNotFullIsOneTheRunFindsSo) {
  EventTexts balanced;
  balanced.model = "balanced";
  const test::BoxTexts atRest = {{InputId::SteadyDischarge, "0"}, {InputId::CulvertSlope, "0"}};
  const test::DesignItems level = {{DesignId::CulvertInvertUpstream, "-8.4"},
                                   {DesignId::CulvertInvertDownstream, "-8.4"},
                                   {DesignId::CulvertHeight, "4"},
                                   {DesignId::PumpMinLevel, "-9"}};
  const auto sloped = [](const char* height) {
    return test::DesignItems{{DesignId::CulvertInvertUpstream, "-10"},
                             {DesignId::CulvertInvertDownstream, "-14.415"},
                             {DesignId::CulvertHeight, height}};
  };
  const Case cases[] = {CaseWith({}, sloped("5")), CaseWith({}, sloped("9")),
                        CaseWith({}, sloped("4.8")), CaseWith(atRest, level),
                        CaseWith(atRest, level, balanced)};
  for (const Case& typed : cases) {
    const PreparedCase prepared = PrepareCase(typed);
    const auto flag = std::find_if(
        prepared.designFlags.begin(), prepared.designFlags.end(), [](const DesignFlag& f) {
          return std::ranges::find(f.reasons, InputFlagReason::CulvertNotFullAtStart) !=
                 f.reasons.end();
        });
    const CaseRun done = RunCase(prepared);
    ASSERT_TRUE(done.checks);
    SCOPED_TRACE(*typed.design[DesignId::CulvertHeight] + (typed.events.model ? " balanced" : ""));
    EXPECT_EQ(flag != prepared.designFlags.end(), done.checks->modelEndStep == 1);
    if (flag == prepared.designFlags.end()) continue;
    EXPECT_EQ(flag->node, done.checks->modelEndNode);
    for (const CheckRow& row : done.checks->rows) {
      if (row.kind != CheckKind::CulvertFull) {
        EXPECT_NE(row.verdict, CheckVerdict::Pass);
      }
    }
  }
}

// What the window offers before a run (PreviewRunLength) is what the run
// then has: the summary's forecast and drift, with the case's own model and
// event; the step count it offers to decide makes a kept forebay limit pass
// where one step fewer leaves it undetermined, and the count it offers for
// two periods is the least that covers them.
TEST(PreviewRunLength, IsTheRunsOwnAndDecidesTheChecks) {
  EventTexts balanced;
  balanced.model = "balanced";
  EventTexts ramp;
  ramp.rampTime = "30";
  EventTexts table;
  table.areaTable = SplitPairsText("-10:900,0:1800");
  const test::DesignItems kept = {{DesignId::ForebayWallTop, "0"}, {DesignId::PumpMinLevel, "-8"}};
  for (const EventTexts& events : {EventTexts{}, balanced, ramp, table}) {
    SCOPED_TRACE(events.model       ? "balanced"
                 : events.rampTime  ? "ramp"
                 : events.areaTable ? "table"
                                    : "sudden");
    const Case typed = CaseWith({}, kept, events);
    const std::optional<RunLengthPreview> preview =
        PreviewRunLength(typed.texts, ReadModelExtras(events));
    ASSERT_TRUE(preview);
    const CaseRun done = RunCase(PrepareCase(typed));
    ASSERT_TRUE(done.summary && done.summary->oscillation);
    EXPECT_EQ(preview->oscillation, *done.summary->oscillation);
    EXPECT_EQ(preview->classicDrift, done.summary->classicDrift);
    EXPECT_NEAR(preview->duration, done.summary->simulatedTime, 1e-3);

    const long long decide = preview->StepsToDecide().value();
    // One step fewer leaves the later extreme's check undetermined.
    for (long long steps : {decide - 1, decide}) {
      const CaseRun run = RunCase(
          PrepareCase(CaseWith({{InputId::StepCount, std::to_string(steps)}}, kept, events)));
      ASSERT_TRUE(run.checks);
      int undetermined = 0;
      for (const CheckRow& row : run.checks->rows) {
        EXPECT_NE(row.verdict, CheckVerdict::Fail) << CheckItemName(row.kind);
        undetermined += row.verdict == CheckVerdict::Undetermined;
      }
      EXPECT_EQ(undetermined, steps == decide ? 0 : 1) << steps;
    }
    const long long two = preview->StepsForPeriods(2);
    const double period = preview->oscillation.period;
    EXPECT_GE((two - 1) * preview->timeStep, 2 * period);
    EXPECT_LT((two - 2) * preview->timeStep, 2 * period);
  }
}

// RunCase gives the grids of Calculate with the case's events, the summary
// of the whole grids (gathered block by block on the way), and the design
// checks of that summary; the observers see every block in order.
TEST(RunCase, JoinsCalculateSummaryAndChecks) {
  EventTexts ramp;
  ramp.rampTime = "30";
  struct Row {
    const char* name;
    Case typed;
    bool summarize;
  };
  const Row rows[] = {
      {"defaults", CaseWith({{InputId::StepCount, "300"}}), true},
      {"ramp and design data", CaseWith({{InputId::StepCount, "300"}}, kWallAndPumps, ramp), true},
      {"no summary asked", CaseWith({{InputId::StepCount, "300"}}, kWallAndPumps), false},
  };
  for (const Row& row : rows) {
    const PreparedCase prepared = PrepareCase(row.typed);
    int before = 0, after = 0, lastStep = 0;
    RunObservers observers;
    observers.summarize = row.summarize;
    observers.before = [&](const SurgeRun&) { return [&](int, int) { ++before; }; };
    observers.after = [&](const SurgeRun&) {
      return [&](int first, int last) {
        EXPECT_EQ(first, lastStep + 1) << row.name;
        lastStep = last;
        ++after;
      };
    };
    const CaseRun done = RunCase(prepared, observers);
    ASSERT_TRUE(done.Complete()) << row.name;
    EXPECT_GT(after, 0) << row.name;
    EXPECT_EQ(before, after) << row.name;
    EXPECT_EQ(lastStep, done.run.StepCount()) << row.name;

    const test::CompletedRun alone = test::CalculateRun(row.typed.texts, prepared.extras);
    EXPECT_TRUE(test::SameGrids(done.run, alone.run)) << row.name;
    ASSERT_EQ(done.summary.has_value(), row.summarize) << row.name;
    EXPECT_FALSE(done.summaryError || done.checksError) << row.name;
    if (!row.summarize) {
      EXPECT_FALSE(done.checks) << row.name;
      continue;
    }
    const RunSummary whole = SummarizeRun(alone.run, alone.outcome);
    EXPECT_EQ(SummaryText(*done.summary, done.run), SummaryText(whole, alone.run)) << row.name;
    ASSERT_EQ(done.checks.has_value(), prepared.design.Any()) << row.name;
    if (done.checks) {
      const DesignCheckReport checks =
          CheckDesign(prepared.design, whole, alone.run, alone.outcome);
      EXPECT_EQ(SummaryText(*done.summary, done.run, &*done.checks),
                SummaryText(whole, alone.run, &checks))
          << row.name;
    }
  }
}

// A case that cannot run is an error and nothing else: its events, a box
// that sizes no run, an observer that ends the march.
TEST(RunCase, FaultsAreTheRunsError) {
  EventTexts badRamp;
  badRamp.rampTime = "x";
  struct Row {
    const char* name;
    Case typed;
    bool stopAtOnce;
    Stage stage;
  };
  const Row rows[] = {
      {"bad ramp", CaseWith({}, kWallAndPumps, badRamp), false, Stage::EventInput},
      {"no steps", CaseWith({{InputId::StepCount, "0"}}, kWallAndPumps), false, Stage::Grid},
      {"stopped", CaseWith({{InputId::StepCount, "300"}}, kWallAndPumps), true, Stage::Program},
      {"mixed without its section", CaseWith({}, kWallAndPumps, MixedModel()), false,
       Stage::EventInput},
      {"mixed stopped", CaseWith({{InputId::StepCount, "300"}}, kChannel, MixedModel("channel")),
       true, Stage::Program},
  };
  for (const Row& row : rows) {
    RunObservers observers;
    if (row.stopAtOnce) {
      observers.before = [](const SurgeRun&) {
        return [](int, int) { throw std::runtime_error("stop"); };
      };
    }
    const CaseRun done = RunCase(PrepareCase(row.typed), observers);
    ASSERT_TRUE(done.error) << row.name;
    EXPECT_EQ(done.error->location().stage, row.stage) << row.name;
    EXPECT_FALSE(done.summary || done.checks || done.summaryError || done.checksError) << row.name;
  }
}

// A mixed case: its steps told to the observers block by block in order,
// as the march tells them, its summary that of its grids, and among the
// cases of RunCases the run RunCase gives.
TEST(RunCase, MixedModelFillsTheGridsStepByStep) {
  const Case typed = CaseWith({{InputId::StepCount, "300"}}, kChannel, MixedModel("channel"));
  const PreparedCase prepared = PrepareCase(typed);
  int lastStep = 0;
  RunObservers observers;
  observers.after = [&](const SurgeRun&) {
    return [&](int first, int last) {
      EXPECT_EQ(first, lastStep + 1);
      lastStep = last;
    };
  };
  const CaseRun done = RunCase(prepared, observers);
  ASSERT_TRUE(done.Complete()) << done.error->where();
  EXPECT_EQ(lastStep, 300);
  ASSERT_TRUE(done.summary);
  EXPECT_EQ(SummaryText(*done.summary, done.run),
            SummaryText(SummarizeRun(done.run, done.outcome), done.run));
  EXPECT_EQ(done.outcome.extras.model, MarchModel::Mixed);
  EXPECT_FLOAT_EQ(done.run.StepTime(300), 299 * done.outcome.coefficients.TimeStep);

  const PreparedCase classic = PrepareCase(CaseWith({{InputId::StepCount, "300"}}));
  const PreparedCase* cases[] = {&prepared, &classic};
  const std::vector<CaseRun> runs = RunCases(cases);
  ASSERT_EQ(runs.size(), 2u);
  ASSERT_TRUE(runs[0].Complete() && runs[1].Complete());
  EXPECT_TRUE(test::SameGrids(runs[0].run, done.run));
  EXPECT_TRUE(test::SameGrids(runs[1].run, RunCase(classic).run));
}

// Cases of every model side by side: classic cases of one grid marched
// together (their envelope gathered by the batch), a balanced case and a ramp
// among them, each run and summary that of RunCase.
TEST(RunCases, EveryModelsCaseIsTheRunOfRunCase) {
  EventTexts balanced, ramp;
  balanced.model = "balanced";
  ramp.rampTime = "30";
  std::vector<PreparedCase> prepared;
  for (const char* level : {"-4.34", "-3.5", "-5", "-4"})
    prepared.push_back(PrepareCase(
        CaseWith({{InputId::StepCount, "400"}, {InputId::ReservoirLevel, level}}, kWallAndPumps)));
  prepared.push_back(PrepareCase(CaseWith({{InputId::StepCount, "400"}}, kWallAndPumps, balanced)));
  prepared.push_back(PrepareCase(CaseWith({{InputId::StepCount, "400"}}, kWallAndPumps, ramp)));
  std::vector<const PreparedCase*> cases;
  cases.reserve(prepared.size());
  for (const PreparedCase& c : prepared) cases.push_back(&c);
  const std::vector<CaseRun> runs = RunCases(cases);
  ASSERT_EQ(runs.size(), prepared.size());
  for (std::size_t i = 0; i < prepared.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    const CaseRun alone = RunCase(prepared[i]);
    ASSERT_TRUE(runs[i].Complete() && alone.Complete());
    EXPECT_TRUE(test::SameGrids(runs[i].run, alone.run));
    ASSERT_TRUE(runs[i].summary && runs[i].checks);
    EXPECT_EQ(SummaryText(*runs[i].summary, runs[i].run, &*runs[i].checks),
              SummaryText(*alone.summary, alone.run, &*alone.checks));
  }
}

// The grids RunCases leaves of a case that fails or is stopped, each beside a
// complete case in the batch, are those RunCase leaves (its grids created
// with their zeros): the march's fault, a fault after the grids are created
// and before the march, an observer that throws at step 1. An observer that
// throws in the march is told nothing more and the batch marches the case to
// its end. The memory the grids take was held by complete runs just before.
TEST(RunCases, FaultedAndStoppedCasesLeaveTheGridsOfRunCase) {
  struct Row {
    const char* name;
    test::BoxTexts boxes;
    int stopFrom;  // the first step whose block the observer throws at; 0: never
    bool marchedWhole;
    Stage stage;  // of the fault
  };
  const Row rows[] = {
      {"march fault", {{InputId::ForebayArea, "1e-30"}}, 0, false, Stage::March},
      {"output step beyond 16 bits", {{InputId::LastOutputStep, "1e9"}}, 0, false, Stage::Reading},
      // Step 1's velocities written, its heads not.
      {"steady state's reach loss",
       {{InputId::FrictionFactor, "1e37"}},
       0,
       false,
       Stage::Coefficients},
      {"stopped at step 1", {}, 1, false, Stage::Program},
      {"stopped in the march", {}, 2, true, Stage::Program},
  };
  const PreparedCase complete = PrepareCase(CaseWith({{InputId::StepCount, "300"}}));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    {
      const std::vector<const PreparedCase*> earlier(4, &complete);
      ASSERT_TRUE(RunCases(earlier)[0].Complete());
    }
    test::BoxTexts boxes = row.boxes;
    boxes.emplace_back(InputId::StepCount, "300");
    const PreparedCase prepared = PrepareCase(CaseWith(boxes));
    RunObservers observers;
    if (row.stopFrom > 0) {
      observers.before = [&](const SurgeRun&) -> StepBlockObserver {
        return [&](int first, int) {
          if (first >= row.stopFrom) throw std::runtime_error("stop");
        };
      };
    }
    const PreparedCase* cases[] = {&prepared, &complete};
    const std::vector<CaseRun> runs = RunCases(cases, observers);
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_FALSE(runs[0].Complete());
    EXPECT_EQ(runs[0].error->location().stage, row.stage);
    const CaseRun alone = RunCase(prepared, row.marchedWhole ? RunObservers{} : observers);
    ASSERT_TRUE(runs[0].run.HasGrids());
    EXPECT_TRUE(test::SameGrids(runs[0].run, alone.run));
  }
}

// A mixed run's summary, envelope CSV and checks read the model's own record
// of each node: its depth and whether it ran full or part full. Its model
// ends where a node first changes between the two: verdicts resting on later
// steps are invalid, as the classic model's are once the culvert drains.
TEST(RunCase, MixedModelJudgesByItsDepthsAndRegimes) {
  const test::DesignItems banks = {{DesignId::ChannelBankTopUpstream, "-3"},
                                   {DesignId::ChannelBankTopDownstream, "-3.5"},
                                   {DesignId::ChannelFreeboard, "0.3"}};
  test::DesignItems channel = kChannel;
  channel.insert(channel.end(), banks.begin(), banks.end());
  struct Row {
    const char* name;
    Case typed;
    CulvertSection section;
    const char* regime;  // of every node, "" when they differ
    bool changes;        // a node changes between full and part full
  };
  const Row rows[] = {
      {"pump stop on a channel",
       CaseWith({{InputId::StepCount, "1500"}}, channel, MixedModel("channel")),
       CulvertSection::Channel, "明流", false},
      {"pump start leaves the box full", test::PumpStartDrainingBox(), CulvertSection::Box, "满流",
       false},
      {"a stronger start drains the box at its forebay end", test::PumpStartDrainingBox("60"),
       CulvertSection::Box, "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CaseRun done = RunCase(PrepareCase(row.typed));
    ASSERT_TRUE(done.Complete()) << done.error->where();
    ASSERT_TRUE(done.summary && done.checks);
    ASSERT_TRUE(done.outcome.freeSurface);
    const FreeSurfaceRecord& f = *done.outcome.freeSurface;
    EXPECT_EQ(f.section, row.section);
    ASSERT_EQ(f.nodes.size(), 6u);
    EXPECT_TRUE(f.steadyConverged);
    for (std::size_t k = 0; k < f.nodes.size(); ++k) {
      const NodeRegime& node = f.nodes[k];
      // The depth is the head above the node's invert, its extremes the envelope's.
      EXPECT_FLOAT_EQ(node.initialDepth, done.run.Head(int(k) + 1, 1) - f.invert[k]);
      EXPECT_NEAR(node.highestDepth, done.summary->envelope[k].highestHead.value - f.invert[k],
                  1e-3);
      if (*row.regime) {
        EXPECT_STREQ(NodeRegimeWord(node), row.regime) << k;
      }
    }
    EXPECT_EQ(f.firstChangeStep > 1, row.changes);
    const std::string summary = SummaryText(*done.summary, done.run, &*done.checks);
    EXPECT_NE(summary.find("水深与流态"), std::string::npos);
    EXPECT_EQ(summary.find("满流与明流转换 无") != std::string::npos, !row.changes);
    const std::string csv = EnvelopeCsv(*done.summary, done.run, GeometryOf(done.outcome));
    EXPECT_NE(csv.find(",min_depth_step,regime\n"), std::string::npos);

    std::vector<CheckKind> kinds;
    for (const CheckRow& check : done.checks->rows) {
      kinds.push_back(check.kind);
      // A verdict after the change is invalid unless its limit broke before.
      if (row.changes && check.kind != CheckKind::CulvertFull) {
        EXPECT_TRUE(check.verdict == CheckVerdict::Invalid || check.verdict == CheckVerdict::Fail)
            << check.item;
      } else {
        EXPECT_NE(check.verdict, CheckVerdict::Invalid) << check.item;
      }
    }
    if (row.section == CulvertSection::Channel) {
      EXPECT_EQ(kinds,
                (std::vector<CheckKind>{CheckKind::ChannelFreeboard, CheckKind::SurgeHeight}));
    } else {
      EXPECT_EQ(kinds, (std::vector<CheckKind>{CheckKind::ForebayLowest, CheckKind::CulvertFull,
                                               CheckKind::Vacuum}));
      EXPECT_EQ(summary.find("超出混合流模型已验证的范围") != std::string::npos, row.changes);
    }
  }
  // A classic run's envelope CSV has no such columns.
  const CaseRun classic = RunCase(PrepareCase(CaseWith({{InputId::StepCount, "300"}})));
  EXPECT_EQ(EnvelopeCsv(*classic.summary, classic.run, GeometryOf(classic.outcome)).find("regime"),
            std::string::npos);
}

// What a mixed run shows takes its section, not the 箱涵断面面积 box (18 m²
// against the box's 31.8 m² and the channel's 40 to 60 m²): the discharge at
// every node is the steady one at step 1, the rigid column's period that of
// the section's area, and the flow into the forebay is named by the section.
TEST(RunCase, MixedModelShowsTheSectionsAreas) {
  struct Row {
    const char* name;
    Case typed;
    double lowestArea, highestArea;  // m², the wetted areas at step 1
    const char* inflow;              // the forebay's inflow line
    const char* highest;             // the head envelope's highest line
    const char* caption;             // the book's figure of that envelope
    const char* tableHead;           // its table's column of the highest heads
  };
  const Row rows[] = {
      {"channel", test::PumpStartOnChannel(), 0, 0, "引渠入前池流量（节点 6（", "最高水面",
       "沿程水面线包络线", "最高水位 m"},
      {"box", test::PumpStartDrainingBox(), 31.8, 31.8 * (1 + 1e-4), "箱涵入前池流量（节点 6（",
       "最高水头", "沿程测压管水头包络线", "最高水头 m"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const PreparedCase prepared = PrepareCase(row.typed);
    const CaseRun done = RunCase(prepared);
    ASSERT_TRUE(done.Complete()) << done.error->where();
    const RunGeometry geometry = GeometryOf(done.outcome);
    const FreeSurfaceRecord& f = *done.outcome.freeSurface;
    double lowest = row.lowestArea, highest = row.highestArea;
    if (f.section == CulvertSection::Channel) {
      // The trapezoid's areas from the step-1 heads over the inverts.
      lowest = 1e300, highest = 0;
      for (int node = 1; node <= done.run.GridNodes(); ++node) {
        const double depth = done.run.Head(node, 1) - f.invert[node - 1];
        const double area = (6 + 1.5 * depth) * depth;
        lowest = std::min(lowest, area);
        highest = std::max(highest, area);
      }
      EXPECT_GT(lowest, 30.0);
    }
    for (int node = 1; node <= done.run.GridNodes(); ++node) {
      EXPECT_NEAR(NodeHistory(done.run, geometry, node, ChartQuantity::Discharge)[0], 20, 0.02)
          << node;
    }
    EXPECT_GE(f.columnArea, lowest * (1 - 1e-4));
    EXPECT_LE(f.columnArea, highest * (1 + 1e-4));
    ASSERT_TRUE(done.summary->oscillation);
    const double L = done.outcome.parameters.CulvertLength;
    const double Af = done.outcome.parameters.ForebayArea;
    const auto periodOf = [&](double area) {
      return 2 * std::numbers::pi * std::sqrt(L * Af / (9.8 * area));
    };
    EXPECT_GE(done.summary->oscillation->period, periodOf(highest) * (1 - 1e-6));
    EXPECT_LE(done.summary->oscillation->period, periodOf(lowest) * (1 + 1e-6));

    const ChartData inflow = PumpDischargeChart(done.run, geometry);
    ASSERT_EQ(inflow.lines.size(), 2u);
    EXPECT_TRUE(inflow.lines[1].name.starts_with(row.inflow)) << inflow.lines[1].name;
    EXPECT_EQ(EnvelopeChart(*done.summary, done.run, geometry, EnvelopeOf::Head).lines.at(0).name,
              row.highest);
    BookInput book;
    book.cases.push_back({row.name, "", CaseReportInput(prepared, done)});
    int captioned = 0, tables = 0;
    for (const ReportBlock& block : CalculationBook(book).blocks) {
      captioned +=
          block.kind == ReportBlockKind::Chart && block.text.find(row.caption) != std::string::npos;
      if (block.kind != ReportBlockKind::Table || !block.table.title.starts_with("沿程包络"))
        continue;
      ++tables;
      EXPECT_EQ(block.table.head.at(2), row.tableHead);
    }
    EXPECT_EQ(captioned, 1);
    EXPECT_EQ(tables, 1);
  }
}

// A pump start on the open channel: the rigid column puts the first lowest
// forebay level at 58.6 s, but the drawdown's surge needs 215.7 s to run up
// the channel and back, and the level is lowest (-4.619 m) at 204.5 s. The
// lowest-level check is undetermined until the run reaches that return plus
// a tenth of the period (1992 steps), and the level it then passes on is the
// one a far longer run finds. Where no wave can make the trip (a node dry at
// step 1) the check cannot be decided at all, and says why.
TEST(RunCase, ChannelVerdictsWaitForTheSurgesReturn) {
  const auto withSteps = [](int steps) {
    Case typed = test::PumpStartOnChannel();
    typed.texts[InputId::StepCount] = std::to_string(steps);
    typed.design[DesignId::PumpMinLevel] = "-5";
    return typed;
  };
  const CaseRun longest = RunCase(PrepareCase(withSteps(3000)));
  ASSERT_TRUE(longest.Complete()) << longest.error->where();
  struct Row {
    int steps;
    CheckVerdict verdict;
    const char* says;  // in the check's sentence
  };
  const Row rows[] = {
      {1000, CheckVerdict::Undetermined, "涌波往返一次的时刻（215.664 s，晚于预计首个最低水位时刻"},
      {1800, CheckVerdict::Undetermined, "（237.526 s），结论未定：需计算时段数 1992"},
      {1991, CheckVerdict::Undetermined, "需计算时段数 1992"},
      {1992, CheckVerdict::Pass, "满足要求"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.steps);
    const CaseRun done = RunCase(PrepareCase(withSteps(row.steps)));
    ASSERT_TRUE(done.Complete()) << done.error->where();
    const CheckRow& check = done.checks->rows.at(0);
    ASSERT_EQ(check.kind, CheckKind::ForebayLowest);
    EXPECT_EQ(check.verdict, row.verdict);
    EXPECT_NE(check.sentence.find(row.says), std::string::npos) << check.sentence;
    if (row.verdict == CheckVerdict::Pass) {
      EXPECT_EQ(check.value, longest.summary->forebayLowest.value);
      EXPECT_EQ(check.step, longest.summary->forebayLowest.step);
    }
  }

  const Case typed = withSteps(3000);
  RunSummary blocked = *longest.summary;
  blocked.freeSurface->surgeRoundTrip.reset();
  blocked.freeSurface->surgeBlockedNode = 3;
  blocked.freeSurface->surgeBlockedDry = true;
  const DesignCheckReport report =
      CheckDesign(PrepareCase(typed).design, blocked, longest.run, longest.outcome);
  const CheckRow& check = report.rows.at(0);
  EXPECT_EQ(check.verdict, CheckVerdict::Undetermined);
  EXPECT_NE(check.sentence.find("节点 3 初始干涸，涌波不能通过，无法估计"), std::string::npos)
      << check.sentence;
  EXPECT_NE(RunLengthLines(blocked).at(1).find("涌波往返时间无法估计"), std::string::npos);
}

// A draining box whose pump start (to 80 m³/s) draws its head to the vapour
// limit: the lowest pressure head reported is the limit the cavity opens at,
// not how far the slot overshoots it within a sub-step, and that limit is
// the design checks' vacuum limit of the site and the water. (Starts to 60,
// 100 and 140 m³/s reach it too.)
TEST(RunCase, MixedModelsLowestPressureStopsAtTheVapourLimit) {
  struct Row {
    const char* elevation;  // 站址高程, m; none: sea level
    const char* temperature;
    double limit;  // m below the soffit
  };
  const Row rows[] = {
      {nullptr, nullptr, 10.33 - 0.24},
      {"1800", "30", 10.33 - 1800.0 / 900 - 4.2467 / 9.79},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.elevation ? row.elevation : "sea level");
    Case typed = test::PumpStartDrainingBox("80");
    if (row.elevation) typed.design[DesignId::SiteElevation] = row.elevation;
    if (row.temperature) typed.design[DesignId::WaterTemperature] = row.temperature;
    const CaseRun done = RunCase(PrepareCase(typed));
    ASSERT_TRUE(done.Complete()) << done.error->where();
    const FreeSurfaceRecord& f = *done.outcome.freeSurface;
    EXPECT_TRUE(f.vapourLimitReached);
    EXPECT_NEAR(f.lowestPressureHead, -row.limit, 1e-9);
    EXPECT_DOUBLE_EQ(f.lowestPressureHead, -VacuumLimitOf(PrepareCase(typed).design).Head());
  }
}

// Cases run side by side on threads: each run, summary, check and error that
// of the case run alone, in the order of the cases, whatever the threads.
TEST(RunEachCase, EachRunIsTheCaseRunAlone) {
  EventTexts ramp;
  ramp.rampTime = "30";
  std::vector<Case> cases;
  for (const char* level : {"-4.34", "-3.5", "1e40", "-5"})
    cases.push_back(CaseWith({{InputId::StepCount, "400"}, {InputId::ReservoirLevel, level}},
                             kWallAndPumps, ramp));
  cases.push_back(CaseWith({{InputId::StepCount, "0"}}));
  const std::vector<PreparedCase> prepared = PrepareCases(cases);
  for (unsigned threads : {1u, 2u, 7u}) {
    const std::vector<CaseRun> runs = RunEachCase(prepared, threads);
    ASSERT_EQ(runs.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "threads " << threads << ", case " << i);
      const CaseRun alone = RunCase(prepared[i]);
      ASSERT_EQ(runs[i].error.has_value(), alone.error.has_value());
      if (alone.error) {
        EXPECT_EQ(runs[i].error->location(), alone.error->location());
        continue;
      }
      EXPECT_TRUE(test::SameGrids(runs[i].run, alone.run));
      ASSERT_TRUE(runs[i].summary && runs[i].checks);
      EXPECT_EQ(SummaryText(*runs[i].summary, runs[i].run, &*runs[i].checks),
                SummaryText(*alone.summary, alone.run, &*alone.checks));
    }
  }
  EXPECT_TRUE(RunEachCase({}).empty());
}

// Told case by case and stopped: a stop before the start runs nothing; a
// stop after the second case leaves the first cases only, in order, each as
// run alone.
TEST(RunEachCase, TellsEachCaseAndStops) {
  std::vector<Case> cases;
  for (const char* level : {"-4.34", "-3.5", "-5", "-6"})
    cases.push_back(CaseWith({{InputId::StepCount, "300"}, {InputId::ReservoirLevel, level}}));
  const std::vector<PreparedCase> prepared = PrepareCases(cases);
  struct Row {
    bool stopAtOnce;
    int stopAfter;  // cases ended when the stop is set; 0: never
    unsigned threads;
  };
  for (const Row row : {Row{true, 0, 2}, Row{false, 0, 2}, Row{false, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << row.stopAtOnce << " " << row.stopAfter);
    std::atomic<bool> stop{row.stopAtOnce};
    std::atomic<int> ended{0};
    const std::vector<CaseRun> runs = RunEachCase(prepared, row.threads,
                                                  {[&] {
                                                     if (++ended == row.stopAfter) stop = true;
                                                   },
                                                   &stop});
    const std::size_t expected = row.stopAtOnce      ? 0
                                 : row.stopAfter > 0 ? std::size_t(row.stopAfter)
                                                     : cases.size();
    ASSERT_EQ(runs.size(), expected);
    EXPECT_EQ(ended.load(), static_cast<int>(expected));
    for (std::size_t i = 0; i < runs.size(); ++i)
      EXPECT_TRUE(test::SameGrids(runs[i].run, RunCase(prepared[i]).run));
  }
}

}  // namespace
}  // namespace kelvane
