// The preview of a run shown as the user types: time step, duration, 2L/a
// and the forebay stability limit, the same as the run then has.
#include "model/run_preview.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/model.h"
#include "model/stability.h"

namespace kelvane {
namespace {

TEST(RunPreview, MatchesTheRunItDescribes) {
  struct Row {
    std::vector<std::pair<InputId, const char*>> boxes;
    double duration;  // s, to 0.05
  };
  const Row rows[] = {
      {{}, 178.9},                              // 1499 steps of 0.1193 s
      {{{InputId::SegmentCount, "10"}}, 89.4},  // half the time step
      {{{InputId::StepCount, "1"}}, 0.0},       // the steady state only
      {{{InputId::WaveSpeed, "500"}}, 357.8},   // twice the time step
  };
  for (const Row& row : rows) {
    InputTexts texts = DefaultInputTexts();
    for (const auto& [id, text] : row.boxes) texts[id] = text;
    const std::optional<RunPreview> preview = PreviewRun(texts);
    ASSERT_TRUE(preview) << row.duration;
    EXPECT_NEAR(preview->duration, row.duration, 0.05);

    // The run's own coefficients and last step time.
    SurgeRun run;
    const RunOutcome outcome = Calculate(texts, run);
    EXPECT_EQ(preview->timeStep, double(outcome.coefficients.TimeStep));
    EXPECT_NEAR(preview->duration, run.StepTime(run.StepCount()), 1e-3 * preview->timeStep + 1e-4);
    EXPECT_EQ(preview->stabilityLimit,
              ForebayStabilityLimit(outcome.parameters, outcome.coefficients));
    EXPECT_DOUBLE_EQ(preview->waveReturn, 2.0 * double(outcome.parameters.CulvertLength) /
                                              double(outcome.parameters.WaveSpeed));
  }
}

TEST(RunPreview, NoneWithoutARun) {
  for (const auto& [id, text] : std::vector<std::pair<InputId, const char*>>{
           {InputId::StepCount, "0"},
           {InputId::StepCount, "40000"},
           {InputId::SegmentCount, "0"},  // the time step divides by it
           {InputId::WaveSpeed, ""},
       }) {
    InputTexts texts = DefaultInputTexts();
    texts[id] = text;
    EXPECT_FALSE(PreviewRun(texts)) << Field(id).box << " = \"" << text << "\"";
  }
}

}  // namespace
}  // namespace kelvane
