// The batch mode's design studies: the options --sweep, --cases,
// --sweep-csv, --forebay-max-level, --forebay-min-level, --jobs, --shard,
// and the run that streams the study's rows and prints its closing report.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image_outputs.h"
#include "study/study.h"

namespace kelvane {

struct BatchOptions;

struct StudyCommand {
  StudyPlan plan;  // no case: no study, one ordinary run
  StudyLimits limits;
  int jobs = 0;  // 0: one thread per core this process may use
  std::int64_t shardIndex = 0;
  std::int64_t shardCount = 1;
  std::string csv;                 // --sweep-csv FILE or "-"
  std::string plot;                // --sweep-plot FILE.png|.svg
  std::vector<std::string> given;  // the study options met, in order

  bool Active() const { return plan.CaseCount() > 0; }
};

bool IsStudyOption(std::string_view name);
// Takes the value of study option `name` (a --cases file is read here).
// Throws UsageError.
void TakeStudyOption(std::string_view name, std::string_view value, StudyCommand& study);
// Once every option is read: options that only make sense in a study, the
// single run's outputs in a study, an input both given and swept, two
// reports into one place. Throws UsageError.
void CheckStudyOptions(const BatchOptions& options,
                       const std::array<bool, kInputCount>& inputGiven);
std::string StudyHelpText();

// Runs the study: the rows to --sweep-csv as they come, in case order, a
// progress line on a terminal, then the closing report to --summary or
// standard error. 0 when the study ran to its end and every output was
// written (cases that fail are rows, counted in the report); 1 when an
// output could not be written.
int RunStudyCommand(const BatchOptions& options, const Images& images);

}  // namespace kelvane
