// The options of a design study as the command line gives them: --sweep,
// --cases, --sweep-csv, --sweep-plot, the limits, --jobs, --shard,
// --max-cases, --resume and --join-shards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"
#include "study/study.h"

namespace kelvane {

struct StudyCommand {
  StudyPlan plan;  // no case: no study, one ordinary run
  // The limits, the threads (0: one per core this process may use) and the
  // shard; the case's texts are set when the study runs.
  StudySettings settings;
  bool sharded = false;                 // --shard given (0/1 too): its CSV gets a manifest
  std::string csv;                      // --sweep-csv FILE or "-"
  std::string plot;                     // --sweep-plot FILE.png|.svg
  std::vector<std::string> caseTables;  // the --cases files read
  std::int64_t maxCases = 0;            // --max-cases N; 0 for no limit
  std::string resume;                   // --resume FILE.partial
  std::vector<std::string> joinShards;  // --join-shards A.csv B.csv ...

  bool Active() const { return plan.CaseCount() > 0; }
};

// Takes the value of a study option (a --cases file is read here). Throws
// UsageError.
void TakeStudyOption(const Option& option, std::string_view value, StudyCommand& study);

}  // namespace kelvane
