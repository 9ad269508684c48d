// The batch reports built in-process from runs whose extremes are known.
#include "evaluation/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model/run_editor.h"
#include "support/result_bytes.h"

namespace kelvane::test {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

TEST(Summary, DefaultRunForebayRisesToItsPeakAndTheFlowReverses) {
  CompletedRun c = CalculateRun(DefaultInputTexts());
  RunSummary s = SummarizeRun(c.run, c.outcome);
  EXPECT_EQ(s.reaches, 5);
  EXPECT_EQ(s.nodes, 6);
  EXPECT_EQ(s.steps, 1500);
  EXPECT_EQ(s.timeStep, c.outcome.coefficients.TimeStep);
  EXPECT_EQ(s.simulatedTime, c.run.StepTime(1500));
  EXPECT_EQ(s.forebayInitial, c.run.Head(6, 1));

  // Pumps stop: the level rises without a break to its peak at step 1065,
  // where the culvert flow into the forebay turns round.
  EXPECT_EQ(s.forebayHighest.step, 1065);
  EXPECT_NEAR(s.forebayHighest.value, -2.531, 0.0005);
  EXPECT_NEAR(c.run.StepTime(1065), 126.97, 0.005);
  EXPECT_EQ(s.forebayLowest.step, 1);
  EXPECT_EQ(s.forebayReversalStep, 1065);
  EXPECT_GT(c.run.Velocity(6, 1064), 0);
  EXPECT_LT(c.run.Velocity(6, 1065), 0);

  // The reservoir end is held: its envelope is the reservoir level, and the
  // never-computed column StepCount+1 (all zero) does not enter it.
  EXPECT_EQ(s.envelope[0].highestHead.value, -4.34f);
  EXPECT_EQ(s.envelope[0].lowestHead.value, -4.34f);

  std::string text = SummaryText(s, c.run);
  EXPECT_NE(text.find("  最高" + std::string(14, ' ') + "-2.531 m   时段 1065，126.970 s\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" m/s 时段 1065，126.970 s\n"), std::string::npos) << text;
  EXPECT_NE(text.find("相长 2L/a       1.193 s"), std::string::npos) << text;
}

TEST(Summary, PumpsKeepingTheirDischargeNeverReverseTheFlow) {
  CompletedRun c = CalculateRun(TextsWith({{InputId::FinalPumpDischarge, "41.6"}}));
  RunSummary s = SummarizeRun(c.run, c.outcome);
  // The forebay does not move at the first step, so its lowest level is
  // reached first at step 1; the culvert flow then speeds up (the march has
  // no intake loss), keeps its direction and the level climbs to the end.
  EXPECT_EQ(c.run.Head(6, 2), c.run.Head(6, 1));
  EXPECT_EQ(s.forebayLowest.step, 1);
  EXPECT_EQ(s.forebayLowest.value, s.forebayInitial);
  EXPECT_EQ(s.forebayHighest.step, 1500);
  EXPECT_NEAR(s.forebayHighest.value, -4.754, 0.0005);
  EXPECT_EQ(s.forebayReversalStep, 0);
  EXPECT_EQ(s.envelope[5].lowestVelocity.step, 1);
  EXPECT_GT(s.envelope[5].lowestVelocity.value, 0);
  EXPECT_NE(SummaryText(s, c.run).find("末端流速反向    无\n"), std::string::npos);
}

// The reversal is the first step against the first velocity that is not
// zero; zeros and NaNs have no direction.
TEST(Summary, ReversalIsTheFirstStepAgainstTheFirstDirection) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Row {
    std::vector<float> forebayVelocities;  // steps 1..6
    int reversal;
  };
  const Row rows[] = {
      {{0, 0, 1, 2, -1, -2}, 5},    {{0, nan, -1, 0, 1, 1}, 5}, {{1, nan, 0, -1, 1, 1}, 4},
      {{-1, -2, -3, 0, -1, -2}, 0}, {{0, 0, 0, 0, 0, 0}, 0},    {{nan, 0, 1, 1, 1, -1}, 6},
      {{2, -1, 1, 1, 1, 1}, 2},
  };
  for (const Row& row : rows) {
    CompletedRun c = CalculateRun(TextsWith({{InputId::StepCount, "6"}}));
    SurgeRunEditor editor(c.run);
    for (int step = 1; step <= 6; ++step)
      editor.VelocitiesAt(step)[5] = row.forebayVelocities[step - 1];
    EXPECT_EQ(SummarizeRun(c.run, c.outcome).forebayReversalStep, row.reversal)
        << ::testing::PrintToString(row.forebayVelocities);
  }
}

// The same over a longer run, whose steps are passed over in blocks: a
// reversal at either end of a block, past the last whole block, after a
// block holding -0 and a NaN, and against a first direction that is
// negative or comes after zeros.
TEST(Summary, ReversalIsFoundAtEveryStepOfALongRun) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  constexpr int kSteps = 60;
  struct Row {
    float velocity;                            // of every step not listed
    std::vector<std::pair<int, float>> steps;  // {step, velocity}
    int reversal;
  };
  const Row rows[] = {
      {1, {}, 0},
      {1, {{2, -1}}, 2},
      {1, {{17, -1}}, 17},
      {1, {{18, -1}}, 18},
      {1, {{33, -0.0f}, {34, nan}, {40, -2}}, 40},
      {1, {{49, -1}}, 49},
      {1, {{50, -1}}, 50},
      {1, {{60, -1}}, 60},
      {-1, {{25, 0.5f}}, 25},
      {-1, {{25, 0}, {26, nan}, {27, 3}, {28, 4}}, 27},
      {-1, {{1, 0}, {2, 0}, {20, 1}}, 20},
      {-1, {{1, 0}, {2, nan}, {3, 2}, {4, 2}, {36, -1}}, 5},
  };
  for (const Row& row : rows) {
    CompletedRun c = CalculateRun(TextsWith({{InputId::StepCount, std::to_string(kSteps)}}));
    SurgeRunEditor editor(c.run);
    for (int step = 1; step <= kSteps; ++step) editor.VelocitiesAt(step)[5] = row.velocity;
    for (const auto& [step, velocity] : row.steps) editor.VelocitiesAt(step)[5] = velocity;
    EXPECT_EQ(SummarizeRun(c.run, c.outcome).forebayReversalStep, row.reversal)
        << row.velocity << " with " << ::testing::PrintToString(row.steps);
  }
}

// The envelope is the same however the steps are told: all at once, or
// step 1 alone and then blocks of 64 as the march tells them (a one-step
// run: step 1 alone).
TEST(Summary, EnvelopeIsTheSameHoweverTheStepsAreTold) {
  for (const char* steps : {"1", "2", "17", "1500"}) {
    CompletedRun c =
        CalculateRun(TextsWith({{InputId::StepCount, steps}, {InputId::FinalPumpDischarge, "10"}}));
    const int last = c.run.StepCount();
    RunSummarizer told;
    told.AddSteps(c.run, 1, 1);
    for (int first = 2; first <= last; first += 64)
      told.AddSteps(c.run, first, std::min(last, first + 63));
    const RunSummary once = SummarizeRun(c.run, c.outcome);
    const RunSummary blocks = told.Summary(c.run, c.outcome);
    EXPECT_EQ(SummaryText(blocks, c.run), SummaryText(once, c.run)) << steps << " steps";
    ASSERT_EQ(blocks.envelope.size(), once.envelope.size());
    for (std::size_t k = 0; k < once.envelope.size(); ++k) {
      const NodeEnvelope& a = blocks.envelope[k];
      const NodeEnvelope& b = once.envelope[k];
      for (const auto member : {&NodeEnvelope::highestHead, &NodeEnvelope::lowestHead,
                                &NodeEnvelope::highestVelocity, &NodeEnvelope::lowestVelocity}) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>((a.*member).value),
                  std::bit_cast<std::uint32_t>((b.*member).value))
            << steps << " steps, node " << k + 1;
        EXPECT_EQ((a.*member).step, (b.*member).step) << steps << " steps, node " << k + 1;
      }
    }
  }
}

TEST(Summary, OneStepRunHasOnlyItsSteadyState) {
  CompletedRun c = CalculateRun(TextsWith({{InputId::StepCount, "1"}}));
  RunSummary s = SummarizeRun(c.run, c.outcome);
  EXPECT_EQ(s.steps, 1);
  EXPECT_EQ(s.simulatedTime, 0);
  EXPECT_EQ(s.forebayReversalStep, 0);
  ASSERT_EQ(s.envelope.size(), 6u);
  // Step 2 exists in the grids, all zero; every extreme stays at step 1.
  for (int k = 0; k < 6; ++k) {
    const NodeEnvelope& e = s.envelope[k];
    for (const ExtremeAt& head : {e.highestHead, e.lowestHead}) {
      EXPECT_EQ(head.step, 1);
      EXPECT_EQ(head.value, c.run.Head(k + 1, 1));
      EXPECT_LT(head.value, 0);
    }
    EXPECT_EQ(e.highestVelocity.value, c.run.Velocity(k + 1, 1));
  }
}

TEST(Summary, SevenReachRunStartsFromTheSteadyForebayLevel) {
  CompletedRun c = CalculateRun(TextsWith({{InputId::SegmentCount, "7"}}));
  RunSummary s = SummarizeRun(c.run, c.outcome);
  ASSERT_EQ(s.nodes, 8);
  // The steady profile reaches the forebay end, node 8, at the level of the
  // five-reach profile; the pump stop then raises it.
  EXPECT_EQ(s.forebayInitial, c.run.Head(8, 1));
  EXPECT_NEAR(s.forebayInitial, -5.247774, 5e-6);
  EXPECT_EQ(s.envelope[7].lowestHead.value, s.forebayInitial);
  EXPECT_GT(s.envelope[7].highestHead.value, -3);
}

// Against a second reading of the grids, column by column: each extreme is
// the grid's value at its step, no step goes beyond it, no earlier one
// reaches it.
TEST(Summary, EnvelopeIsTheFirstReachedExtremeOfEveryNode) {
  const BoxTexts runs[] = {{},
                           {{InputId::FinalPumpDischarge, "41.6"}},
                           {{InputId::SegmentCount, "7"}},
                           {{InputId::StepCount, "2"}},
                           {{InputId::SegmentCount, "40"}, {InputId::StepCount, "333"}}};
  for (const BoxTexts& boxes : runs) {
    // Gathered after the run, and block by block as the march finishes them.
    CompletedRun c = CalculateRun(TextsWith(boxes));
    SurgeRun observed;
    RunSummarizer summarizer;
    RunOutcome outcome = Calculate(TextsWith(boxes), observed, {summarizer.Observer(observed)});
    for (const RunSummary& s :
         {SummarizeRun(c.run, c.outcome), summarizer.Summary(observed, outcome)})
      for (int node = 1; node <= c.run.GridNodes(); ++node) {
        const NodeEnvelope& e = s.envelope[node - 1];
        struct Column {
          ExtremeAt extreme;
          bool highest;
          float (SurgeRun::*value)(int, int) const;
        };
        for (const Column& col : {Column{e.highestHead, true, &SurgeRun::Head},
                                  Column{e.lowestHead, false, &SurgeRun::Head},
                                  Column{e.highestVelocity, true, &SurgeRun::Velocity},
                                  Column{e.lowestVelocity, false, &SurgeRun::Velocity}}) {
          ASSERT_GE(col.extreme.step, 1);
          ASSERT_LE(col.extreme.step, c.run.StepCount());
          EXPECT_EQ((c.run.*col.value)(node, col.extreme.step), col.extreme.value);
          for (int step = 1; step <= c.run.StepCount(); ++step) {
            float v = (c.run.*col.value)(node, step);
            bool beyond = col.highest ? v > col.extreme.value : v < col.extreme.value;
            ASSERT_FALSE(beyond) << "node " << node << " step " << step;
            if (step < col.extreme.step) {
              ASSERT_NE(v, col.extreme.value) << "step " << step;
            }
          }
        }
      }
  }
}

TEST(Summary, EnvelopeRowsLineUpUnderTheirHeadings) {
  CompletedRun c = CalculateRun(TextsWith({{InputId::SegmentCount, "7"}}));
  std::vector<std::string> lines = Split(SummaryText(SummarizeRun(c.run, c.outcome), c.run), '\n');
  auto heading = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("  节点   最高水头");
  });
  ASSERT_NE(heading, lines.end());
  ASSERT_EQ(lines.end() - heading, 1 + 8);
  for (auto row = heading + 1; row != lines.end(); ++row) {
    EXPECT_EQ(DisplayWidth(*row), DisplayWidth(*heading)) << *row;
  }
}

// The CSV read back with strtof gives the run's singles bit for bit.
TEST(Csv, ReadsBackToTheGridsBitForBit) {
  const BoxTexts runs[] = {{}, {{InputId::SegmentCount, "7"}}, {{InputId::StepCount, "1"}}};
  for (const BoxTexts& boxes : runs) {
    CompletedRun c = CalculateRun(TextsWith(boxes));
    std::string csv = Collect([&](const ByteWriter& write) { WriteCsv(c.run, write); });
    std::vector<std::string> rows = Split(csv, '\n');
    ASSERT_TRUE(csv.ends_with('\n'));
    ASSERT_EQ(rows.size(), std::size_t(c.run.StepCount()) + 1);

    const int nodes = c.run.GridNodes();
    std::vector<std::string> header = Split(rows[0], ',');
    ASSERT_EQ(header.size(), std::size_t(2 + 2 * nodes));
    EXPECT_EQ(header[0], "step");
    EXPECT_EQ(header[1], "time_s");
    EXPECT_EQ(header[2 * nodes], "H" + std::to_string(nodes).append("_m"));
    EXPECT_EQ(header[2 * nodes + 1], "V" + std::to_string(nodes).append("_m_per_s"));

    auto bits = [](float f) { return std::bit_cast<std::uint32_t>(f); };
    for (int step = 1; step <= c.run.StepCount(); ++step) {
      std::vector<std::string> fields = Split(rows[step], ',');
      ASSERT_EQ(fields.size(), header.size()) << "step " << step;
      ASSERT_EQ(fields[0], std::to_string(step));
      ASSERT_EQ(bits(std::strtof(fields[1].c_str(), nullptr)), bits(c.run.StepTime(step)));
      for (int node = 1; node <= nodes; ++node) {
        const std::string& h = fields[2 * node];
        const std::string& v = fields[2 * node + 1];
        ASSERT_EQ(bits(std::strtof(h.c_str(), nullptr)), bits(c.run.Head(node, step))) << h;
        ASSERT_EQ(bits(std::strtof(v.c_str(), nullptr)), bits(c.run.Velocity(node, step))) << v;
      }
    }
  }
}

TEST(DisplayWidth, WideCharactersTakeTwoColumns) {
  const struct {
    const char* text;
    int width;
  } cases[] = {{"", 0}, {"abc", 3}, {"节点", 4}, {"m³/s", 4}, {"（时段 1）", 10}, {"2L/a", 4}};
  for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
  EXPECT_EQ(PadRight("节点", 6), "节点  ");
  EXPECT_EQ(PadRight("toolong", 3), "toolong");
}

}  // namespace
}  // namespace kelvane::test
