// The node headings of the result file and the results table for reach
// counts other than five (five keeps its fixed heading, byte for byte: see
// the result-file and results-table tests).
#include "files/node_labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

using testing::NumberedRun;
using testing::SplitCrLf;

TEST(NodeLabels, FewestDecimalsThatSayEachPosition) {
  struct Row {
    int segments;
    std::vector<std::string> labels;
  };
  const Row rows[] = {
      {1, {"0.0L", "1.0L"}},
      {2, {"0.0L", "0.5L", "1.0L"}},
      {3, {"0.0L", "0.3L", "0.7L", "1.0L"}},  // no exact decimals: neighbours apart
      {4, {"0.00L", "0.25L", "0.50L", "0.75L", "1.00L"}},
      {10,
       {"0.0L", "0.1L", "0.2L", "0.3L", "0.4L", "0.5L", "0.6L", "0.7L", "0.8L", "0.9L", "1.0L"}},
      {0, {}},
  };
  for (const Row& row : rows) EXPECT_EQ(NodePositionLabels(row.segments), row.labels);

  // Many reaches: every label differs from its neighbour and fits a column.
  for (int segments : {7, 16, 40, 300, 1000, 32766}) {
    const std::vector<std::string> labels = NodePositionLabels(segments);
    ASSERT_EQ(labels.size(), std::size_t(segments) + 1);
    for (std::size_t k = 1; k < labels.size(); ++k)
      EXPECT_NE(labels[k], labels[k - 1]) << segments << " reaches, node " << k + 1;
    for (const std::string& label : labels) EXPECT_LE(label.size(), 10u) << label;
  }
}

// Ten reaches: every node's column has its heading over the column where its
// values start.
TEST(NodeLabels, TenReachHeadingsStandOverTheirColumns) {
  const SurgeRun run = NumberedRun(10, 12);
  std::string file;
  WriteResultText(
      run, 5, [&](std::string_view bytes) { file.append(bytes); }, NoProgress());
  const std::vector<std::string> fileLines = SplitCrLf(file);
  ASSERT_GE(fileLines.size(), 3u);
  const std::string fileHeading =
      "\xCA\xB1\xBC\xE4\x28\xC3\xEB\x29  0.0L       0.1L       0.2L       0.3L       0.4L       "
      "0.5L"
      "       0.6L       0.7L       0.8L       0.9L       1.0L";
  EXPECT_EQ(fileLines[1], fileHeading);
  // Node k's head starts at byte column 11k, under its label.
  for (std::size_t k = 1; k <= 11; ++k) {
    EXPECT_EQ(fileLines[1][11 * k - 1], '0' + (k == 11 ? 1 : 0)) << k;
    EXPECT_EQ(fileLines[2][11 * k - 1], '-') << k;
  }

  const std::string table = ResultsTableText(run, TableRange{1, 6, 5}, NoProgress());
  const std::vector<std::string> tableLines = SplitCrLf(table);
  ASSERT_GE(tableLines.size(), 3u);
  std::string tableHeading = "时间(秒)";
  for (int k = 0; k <= 10; ++k) {
    tableHeading.append(k == 0 ? 9 : 11, ' ');
    tableHeading += NodePositionLabels(10)[std::size_t(k)];
  }
  EXPECT_EQ(tableLines[1], tableHeading);
  // Rows: the 4-character time, then 10 spaces and a 5-character field per
  // node; node k's field starts at character 15k - 1 (ASCII rows).
  for (std::size_t k = 1; k <= 11; ++k) EXPECT_EQ(tableLines[2][15 * k - 1], '-') << k;
}

}  // namespace
}  // namespace kelvane
