// A whole run on sixteen arbitrary texts: Calculate, the result file into
// memory and the results-table text. Each must end in a complete result or a
// catalogue error. The input holds the texts of Text1..Text16 separated by NUL
// bytes; missing texts keep their default. Reach and step counts are folded
// into small numbers so each input runs in well under a millisecond.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/output.h"
#include "model/model.h"
#include "support/run_checks.h"

namespace {

constexpr int kMaxSegments = 40;
constexpr int kMaxSteps = 400;
constexpr long kMaxTableRows = 20000;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "whole run: %s\n", what.c_str());
  std::abort();
}

// Counts the program would accept but that make a slow input become small;
// counts that fail (negative, 32767 and beyond) are kept as typed.
void FoldCount(std::string& text, int limit) {
  double value = kelvane::ReadLeadingNumber(text);
  if (!std::isfinite(value)) return;
  double rounded = std::nearbyint(value);
  if (rounded > limit && rounded < 32767)
    text = std::to_string(static_cast<long>(rounded) % limit + 1);
}

bool IsSolverError(int number) { return number == 6 || number == 7 || number == 9 || number == 11; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvane::InputTexts texts = kelvane::DefaultInputTexts();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (kelvane::InputId box : kelvane::AllInputs()) {
    if (rest.empty()) break;
    std::size_t end = rest.find('\0');
    texts[box] = std::string(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  FoldCount(texts[kelvane::InputId::SegmentCount], kMaxSegments);
  FoldCount(texts[kelvane::InputId::StepCount], kMaxSteps);

  kelvane::SurgeRun run;
  kelvane::RunOutcome outcome;
  try {
    outcome = kelvane::Calculate(texts, run);
  } catch (const kelvane::RunError& error) {
    if (!IsSolverError(error.number()))
      Fail("Calculate threw error " + std::to_string(error.number()));
    return 0;
  }

  // A finished run holds numbers only, in every step the march filled.
  for (int step = 1; step <= run.StepCount(); ++step) {
    for (float head : run.HeadsAt(step))
      if (!std::isfinite(head)) Fail("non-finite head at step " + std::to_string(step));
    for (float velocity : run.VelocitiesAt(step))
      if (!std::isfinite(velocity)) Fail("non-finite velocity at step " + std::to_string(step));
  }
  for (float time : run.StepTimes())
    if (!std::isfinite(time)) Fail("non-finite step time");

  std::optional<int> dataLines =
      kelvane::checks::ExpectedDataLines(run.StepCount(), outcome.parameters.OutputInterval);
  std::string file;
  try {
    kelvane::WriteResultText(
        run, outcome.parameters.OutputInterval, [&](std::string_view bytes) { file += bytes; },
        kelvane::NoProgress());
    if (!dataLines) Fail("result text written although the interval overflows");
    std::string problem = kelvane::checks::CheckResultText(file, *dataLines);
    if (!problem.empty()) Fail("result text: " + problem);
  } catch (const kelvane::RunError& error) {
    if (dataLines || error.number() != 6)
      Fail("result text threw error " + std::to_string(error.number()));
  }

  const std::string& first = texts[kelvane::InputId::FirstOutputStep];
  const std::string& last = texts[kelvane::InputId::LastOutputStep];
  const std::string& every = texts[kelvane::InputId::OutputInterval];
  double interval = kelvane::ReadLeadingNumber(every);
  kelvane::checks::TableExpectation expected = kelvane::checks::ExpectedTable(
      run.StepCount(), run.FirstOutputStep(), run.LastOutputStep(), interval, kMaxTableRows);
  if (expected.kind == kelvane::checks::TableExpectation::TooLong) return 0;
  try {
    std::string table = kelvane::ResultsTableText(run, kelvane::ReadTableRange(first, last, every),
                                                  kelvane::NoProgress());
    if (expected.kind != kelvane::checks::TableExpectation::Rows)
      Fail("table written although a step is out of range");
    std::string problem = kelvane::checks::CheckTableText(table, expected.rows, run.GridNodes());
    if (!problem.empty()) Fail("table text: " + problem);
  } catch (const kelvane::RunError& error) {
    if (expected.kind != kelvane::checks::TableExpectation::SubscriptError ||
        (error.number() != 9 && error.number() != 6))
      Fail("table threw error " + std::to_string(error.number()));
  }
  return 0;
}
