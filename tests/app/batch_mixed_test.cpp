// The free-surface and mixed-flow model through the batch mode: its options
// and the section it needs, then runs of the built program on an open
// channel and on a box culvert that stays full, read back from the CSV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "batch_options.h"
#include "support/batch_parse.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace kelvane {
namespace {

using test::UsageErrorOf;

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// A box of the inputs' area 18 m² and hydraulic radius 0.75 m, its soffit
// below every head of the default case: it stays full.
const std::vector<std::string> kFullBox = {"--section",
                                           "box",
                                           "--culvert-width",
                                           "10.242640687",
                                           "--culvert-height",
                                           "1.757359313",
                                           "--culvert-invert-upstream",
                                           "-12",
                                           "--culvert-invert-downstream",
                                           "-16.4"};
// A trapezoidal channel 6 m wide at its bottom, sides 1:1.5, on the slope
// the culvert-slope box gives.
const std::vector<std::string> kChannel = {"--section",
                                           "channel",
                                           "--culvert-width",
                                           "6",
                                           "--channel-side-slope",
                                           "1.5",
                                           "--culvert-invert-upstream",
                                           "-9",
                                           "--culvert-invert-downstream",
                                           "-9.5",
                                           "--culvert-slope",
                                           "-0.000838",
                                           "--channel-bank-top-upstream",
                                           "-3",
                                           "--channel-bank-top-downstream",
                                           "-3"};

TEST(BatchMixed, OptionsReachTheCaseAndMissingGeometryIsAUsageError) {
  const BatchOptions options =
      test::ParseArgs(With({"--model", "mixed", "--manning-n", "0.014"}, kChannel));
  EXPECT_EQ(options.typed.events.model, "mixed");
  EXPECT_EQ(options.typed.events.section, "channel");
  EXPECT_EQ(options.typed.design[DesignId::CulvertWidth], "6");
  EXPECT_EQ(options.typed.design[DesignId::ChannelSideSlope], "1.5");
  EXPECT_EQ(options.typed.design[DesignId::ChannelBankTopDownstream], "-3");
  EXPECT_EQ(options.typed.design[DesignId::ManningN], "0.014");

  struct Row {
    std::vector<std::string> args;
    std::string error;  // "" for none
  };
  const Row rows[] = {
      {{"--model", "mixed"},
       "--model mixed 缺少 --section（断面形式）、--culvert-width（箱涵净宽或渠底宽）、"
       "--culvert-height（箱涵净高）、--culvert-invert-upstream（箱涵进口底高程）、"
       "--culvert-invert-downstream（箱涵出口底高程）"},
      // A channel needs no height; a box does.
      {{"--model", "mixed", "--section", "channel", "--culvert-width", "6",
        "--culvert-invert-upstream", "-9"},
       "--model mixed 缺少 --culvert-invert-downstream（箱涵出口底高程）："},
      {{"--model", "mixed", "--section", "box", "--culvert-width", "6", "--culvert-invert-upstream",
        "-9", "--culvert-invert-downstream", "-9.5"},
       "--model mixed 缺少 --culvert-height（箱涵净高）："},
      {{"--section", "round"},
       "选项 --section：断面形式：“round”不是断面形式（可用 box、channel）"},
      {{"--model", "Mixed"}, "不是计算模型（可用 classic、balanced、mixed）"},
      // The section alone changes nothing and needs nothing.
      {{"--section", "box"}, ""},
      {With({"--model", "mixed"}, kFullBox), ""},
  };
  for (const Row& row : rows) {
    const std::string error = UsageErrorOf(row.args);
    if (row.error.empty()) {
      EXPECT_EQ(error, "") << row.args[1];
    } else {
      EXPECT_NE(error.find(row.error), std::string::npos) << row.args[1] << ": " << error;
    }
  }
}

// One run's forebay and node heads, read back from its CSV.
struct CsvRun {
  std::vector<double> times;
  std::vector<std::vector<double>> heads;  // step by step, node 1 first
  std::vector<std::vector<double>> velocities;
  std::string err;
  int status = -1;
};

class BatchMixedRun : public ::testing::Test {
 protected:
  CsvRun Run(const std::vector<std::string>& args) {
    const std::string csv = (dir_.path() / "run.csv").string();
    std::vector<std::string> words{KELVANE_EXE, "--batch", "--csv", csv};
    words.insert(words.end(), args.begin(), args.end());
    const test::ProcessResult result = test::RunProcess(words);
    CsvRun run;
    run.status = result.status;
    run.err = result.err;
    if (result.status != 0) return run;
    const std::vector<std::string> lines = test::Split(test::ReadFile(csv), '\n');
    for (std::size_t k = 1; k < lines.size(); ++k) {
      if (lines[k].empty()) continue;
      const std::vector<std::string> cells = test::Split(lines[k], ',');
      run.times.push_back(std::stod(cells[1]));
      std::vector<double> h, v;
      for (std::size_t c = 2; c + 1 < cells.size(); c += 2) {
        h.push_back(std::stod(cells[c]));
        v.push_back(std::stod(cells[c + 1]));
      }
      run.heads.push_back(h);
      run.velocities.push_back(v);
    }
    return run;
  }
  test::TempDir dir_{"kelvane-batch-mixed"};
};

double Highest(const CsvRun& run, int node) {
  double high = -1e9;
  for (const std::vector<double>& h : run.heads) high = std::max(high, h[node]);
  return high;
}
double Lowest(const CsvRun& run, int node) {
  double low = 1e9;
  for (const std::vector<double>& h : run.heads) low = std::min(low, h[node]);
  return low;
}

// A culvert that stays full runs as the balanced model: the forebay's
// highest and lowest levels after a pump stop within 1 % of their rise
// and fall from the initial level, and the initial profile the same.
TEST_F(BatchMixedRun, FullBoxCulvertAgreesWithTheBalancedModel) {
  const std::vector<std::string> steps = {"--step-count", "3000"};
  const CsvRun mixed = Run(With(With({"--model", "mixed"}, kFullBox), steps));
  const CsvRun balanced = Run(With(With({"--model", "balanced"}, kFullBox), steps));
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  ASSERT_EQ(balanced.status, 0) << balanced.err;
  ASSERT_EQ(mixed.heads.size(), 3000u);
  ASSERT_EQ(mixed.times, balanced.times);
  const int forebay = 5;
  const double initial = balanced.heads[0][forebay];
  EXPECT_NEAR(mixed.heads[0][forebay], initial, 0.002);
  const double rise = Highest(balanced, forebay) - initial;
  const double fall = initial - Lowest(balanced, forebay);
  ASSERT_GT(rise, 2.0);
  ASSERT_GT(fall, 0.1);
  EXPECT_NEAR(Highest(mixed, forebay), Highest(balanced, forebay), 0.01 * rise);
  EXPECT_NEAR(Lowest(mixed, forebay), Lowest(balanced, forebay), 0.01 * rise);
  // The section matches the area and radius boxes: no warning about them.
  EXPECT_EQ(mixed.err.find("混合流模型按断面计算"), std::string::npos) << mixed.err;
}

// A pump stop on an open channel: the surge travels up the channel at the
// celerity of the initial flow, the levels stay above the bed, and the
// forebay rises; the section's area against the area box is warned about.
TEST_F(BatchMixedRun, PumpStopSendsASurgeUpTheChannel) {
  const CsvRun run = Run(With(With({"--model", "mixed", "--step-count", "1500"}, kChannel), {}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("箱涵断面面积 18 m² 与进口水深 4.660 m（库水位下）的明渠断面的 60.533 "
                         "m² 相差 -70.3 %"),
            std::string::npos)
      << run.err;
  const double length = 596.662;
  const std::vector<double> beds = {-9.0, -9.1, -9.2, -9.3, -9.4, -9.5};
  for (const std::vector<double>& h : run.heads) {
    for (std::size_t node = 0; node < h.size(); ++node) ASSERT_GT(h[node], beds[node]);
  }
  EXPECT_EQ(run.heads[0][0], -4.34);
  EXPECT_GT(Highest(run, 5), run.heads[0][5] + 0.3);
  // The front reaches node 2 (a fifth of the way from the reservoir) after
  // crossing four fifths of the channel at √(gA/T) − V of the initial state.
  const double depth = run.heads[0][1] - beds[1];
  const double area = depth * (6 + 1.5 * depth);
  const double celerity = std::sqrt(9.8 * area / (6 + 2 * 1.5 * depth)) - run.velocities[0][1];
  double arrival = 0;
  for (std::size_t j = 0; j < run.heads.size() && arrival == 0; ++j) {
    if (run.heads[j][1] > run.heads[0][1] + 0.01) arrival = run.times[j];
  }
  EXPECT_NEAR(arrival, 0.8 * length / celerity, 0.08 * length / celerity);
}

}  // namespace
}  // namespace kelvane
