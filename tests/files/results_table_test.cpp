// The results-table text: title, heading, rows and fields, the step counter
// as a real number, and the subscript and overflow errors.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "files/output.h"
#include "test_runs.h"

namespace kelvane {
namespace {

using testing::MakeRun;
using testing::NumberedRun;
using testing::RecordingProgress;
using testing::SplitCrLf;

const std::string kTitle = "计算结果为:";
const std::string kHeading =
    "时间(秒)       0.0L          0.2L           0.4L           0.6L           0.8L           1.0L";

struct Table {
  std::vector<std::string> rows;  // the lines after the title and heading
  std::vector<double> progress;
};

// The table for the range as the three boxes would hold it.
std::string TableText(const SurgeRun& run, std::string_view first, std::string_view last,
                      std::string_view interval, ProgressSink& progress) {
  return ResultsTableText(run, ReadTableRange(first, last, interval), progress);
}

Table Query(const SurgeRun& run, std::string_view first, std::string_view last,
            std::string_view interval) {
  RecordingProgress progress;
  const std::string text = TableText(run, first, last, interval, progress);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::vector<std::string> lines = SplitCrLf(text);
  EXPECT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], kTitle);
  if (run.SegmentCount() == 5) {
    EXPECT_EQ(lines[1], kHeading);  // other counts: node_labels_test
  }
  EXPECT_EQ(progress.calls[0], (RecordingProgress::Call{'n', 0}));
  EXPECT_EQ(progress.calls[1].what, 'x');
  return {std::vector<std::string>(lines.begin() + 2, lines.end()), progress.Values()};
}

std::vector<std::string> TimeFields(const Table& table) {
  std::vector<std::string> fields;
  for (const std::string& row : table.rows) fields.push_back(row.substr(0, 4));
  return fields;
}

TEST(ResultsTable, HeadingIsNinetyCharacters) {
  // Three Chinese characters of three UTF-8 bytes each.
  EXPECT_EQ(kHeading.size(), 90u + 3 * 2);
}

TEST(ResultsTable, DefaultRunHasTwentyRows) {
  SurgeRun run;
  const InputTexts texts = DefaultInputTexts();
  Calculate(texts, run);
  const Table table = Query(run, texts[InputId::FirstOutputStep], texts[InputId::LastOutputStep],
                            texts[InputId::OutputInterval]);
  ASSERT_EQ(table.rows.size(), 20u);
  EXPECT_EQ(table.rows[0],
            "0.00          -4.34          -4.6           -4.71          -4.81          -4.93"
            "          -5.25");
  for (const std::string& row : table.rows) EXPECT_EQ(row.size(), 94u);
  EXPECT_EQ(table.rows[19].substr(0, 4), FormatHundredths(run.StepTime(96)).substr(0, 4));
  EXPECT_EQ(run.FirstOutputStep(), 1);
  EXPECT_EQ(run.LastOutputStep(), 100);
  EXPECT_EQ(table.progress.front(), 1.0);
  EXPECT_EQ(table.progress.back(), 96.0);
}

// Each value in its field: padded or cut, "0.00" for small heads.
TEST(ResultsTable, Fields) {
  struct Case {
    float value;
    const char* timeField;
    const char* headField;
  };
  const Case cases[] = {
      {0.596662f, ".6  ", ".6   "},
      {1.193324f, "1.19", "1.19 "},
      {11.93324f, "11.9", "11.93"},
      {178.402f, "178.", "178.4"},
      {1287.414f, "1287", "1287."},
      {-4.34f, "-4.3", "-4.34"},
      {-4.5f, "-4.5", "-4.5 "},
      {-12.345f, "-12.", "-12.3"},
      {-0.008f, "-.01", "0.00 "},
      {0.0f, ".   ", "0.00 "},
      // The single 0.01 itself is not below 0.01; the one under it is.
      {0.01f, ".01 ", ".01  "},
      {std::nextafter(0.01f, 0.0f), ".01 ", "0.00 "},
      {-0.01f, "-.01", "-.01 "},
      {-std::nextafter(0.01f, 0.0f), "-.01", "0.00 "},
      {0.01000001f, ".01 ", ".01  "},
      {-0.01000001f, "-.01", "-.01 "},
  };
  for (const Case& c : cases) {
    SurgeRun run = MakeRun(
        1, 2, [&](int step) { return step == 2 ? c.value : 0.0f; },
        [&](int, int) { return c.value; });
    const Table table = Query(run, "2", "2", "1");
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0], std::string(c.timeField) + std::string(10, ' ') + c.headField +
                                 std::string(10, ' ') + c.headField)
        << c.value;
  }
}

TEST(ResultsTable, StepRanges) {
  struct Case {
    const char *first, *last, *interval;
    std::vector<std::string> times;  // step i is at time i - 1
    std::vector<double> progress;
  };
  const Case cases[] = {
      // Looked up as steps 1, 4, 6, 8 (ties to even); the bar takes the counter.
      {"1", "9", "2.5", {"0.00", "3.  ", "5.  ", "7.  "}, {1, 3.5, 6, 8.5}},
      // Descending, down to a counter of exactly 1.
      {"10", "1", "-3", {"9.  ", "6.  ", "3.  ", "0.00"}, {10, 7, 4, 1}},
      // A counter of 1.25 shows step 1's time through the rule: ".".
      {"1", "2", ".25", {"0.00", ".   ", "1.  ", "1.  ", "1.  "}, {1, 1.25, 1.5, 1.75, 2}},
      // An interval of 0 (or no number) lists every step.
      {"3", "5", "0", {"2.  ", "3.  ", "4.  "}, {3, 4, 5}},
      {"3", "5", "", {"2.  ", "3.  ", "4.  "}, {3, 4, 5}},
      {"3", "5", "x", {"2.  ", "3.  ", "4.  "}, {3, 4, 5}},
      // A first step above the last: title and heading only.
      {"6", "5", "1", {}, {}},
      {"2", "8", "-1", {}, {}},
      // Texts are read by the leading-number rule, steps rounded to even.
      {" 2.5 steps", "4.5", "1e0", {"1.  ", "2.  ", "3.  "}, {2, 3, 4}},
  };
  for (const Case& c : cases) {
    SurgeRun run = NumberedRun(2, 10);
    const Table table = Query(run, c.first, c.last, c.interval);
    EXPECT_EQ(TimeFields(table), c.times) << c.first << " " << c.last << " " << c.interval;
    EXPECT_EQ(table.progress, c.progress) << c.first << " " << c.last << " " << c.interval;
    for (const std::string& row : table.rows) EXPECT_EQ(row.size(), 4u + 15 * 3);
  }
}

// The error number, the rows made before it, and the steps stored.
TEST(ResultsTable, Errors) {
  struct Case {
    const char *first, *last, *interval;
    int number;
    std::optional<InputId> box;  // the box named, for a step beyond 16 bits
    int step;                    // the row's step that has no time
  };
  const Case cases[] = {
      {"0", "5", "1", 9, std::nullopt, 0},  // a first step of 0 fails at once
      {"-3", "5", "1", 9, std::nullopt, -3},
      {"1", "12", "1", 9, std::nullopt, 11},  // beyond StepCount (10)
      {"1", "11", "5", 9, std::nullopt, 11},
      {"10", "12", ".5", 9, std::nullopt, 11},  // 10.5 looks up step 10, 11 fails
      // A small interval still meets the end of the run before any limit.
      {"10", "20", ".001", 9, std::nullopt, 11},
      {"40000", "5", "1", 6, InputId::FirstOutputStep, 0},
      {"1", "-32769", "1", 6, InputId::LastOutputStep, 0},
  };
  for (const Case& c : cases) {
    const SurgeRun run = NumberedRun(2, 10);
    try {
      TableText(run, c.first, c.last, c.interval, NoProgress());
      ADD_FAILURE() << c.first << " " << c.last << " accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.number(), c.number) << c.first << " " << c.last;
      const ErrorLocation& at = error.location();
      EXPECT_EQ(at.stage, Stage::ResultsTable) << error.where();
      EXPECT_EQ(at.input, c.box) << error.where();
      EXPECT_EQ(at.step, c.step) << error.where();
      if (!c.box) {
        EXPECT_EQ(at.quantity, Quantity::Time) << error.where();
      }
    }
  }
}

TEST(ResultsTable, LastStepIsStepCountPlusOneFailsOnTheTime) {
  // Step StepCount + 1 exists in the head grid but has no time.
  SurgeRun run = NumberedRun(2, 10);
  const Table table = Query(run, "10", "10", "1");
  EXPECT_EQ(TimeFields(table), std::vector<std::string>{"9.  "});
  EXPECT_THROW(TableText(run, "11", "11", "1", NoProgress()), RunError);
}

// A tiny interval would list rows without end: refused as out of memory
// instead of exhausting the machine.
TEST(ResultsTable, EndlessTableIsOutOfMemory) {
  SurgeRun run = NumberedRun(2, 10);
  try {
    TableText(run, "1", "2", "1e-300", NoProgress());
    ADD_FAILURE() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), 7);
  }
}

}  // namespace
}  // namespace kelvane
