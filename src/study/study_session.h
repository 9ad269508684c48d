// A design study from its command to its outcome: the partial file it goes
// on from or the shards it joins, checked and read; its cases run, the rows
// streamed in case order to the CSV and, against a stop or a kill, to
// FILE.partial (flushed at least once a second); the tally, the chart's
// points, the warnings and the report's rows gathered. The outcome is data:
// nothing is printed, and no fault of one output stops the others.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/errors.h"
#include "study/case_warnings.h"
#include "study/study.h"
#include "study/study_document.h"
#include "study/sweep_chart_points.h"

namespace kelvane {

// The files of a study.
struct StudyFiles {
  std::string csv = {};     // the rows: a file, "-" for standard output, "" for none
  std::string resume = {};  // the partial file to go on from, or ""
  std::vector<std::string> joinShards = {};  // the shards to join instead of running cases
  bool manifest = false;  // a shard's study: its complete CSV gets a manifest beside it
  bool chart = false;     // the chart's points are gathered
  bool document = false;  // the report's rows are gathered
};

// A file the study reads (a partial file, a shard) that it refuses: the
// file, the line where it tells, and why, as one text.
struct StudyRefusal {
  std::string message;
};

// How the study ended.
struct StudyOutcome {
  std::optional<StudyRefusal> refusal = {};  // nothing run or written
  std::optional<RunError> csvError = {};     // the rows could not be written; the rest went on
  int signal = 0;                            // the signal that stopped the study; 0 when complete
  std::string kept = {};                     // where a stopped study's rows are, when kept
  std::int64_t rows = 0;                     // rows of the shard done, resumed ones included
};

// A few cases timed on this thread, for a study that says its size first.
struct StudyEstimate {
  std::int64_t left = 0;  // cases still to run
  int timed = 0;          // cases run to time them
  double perCase = 0;     // s per case on one thread
};

// The processors this process may run on.
int UsableCores();

class StudySession {
 public:
  // `settings.jobs` 0: one thread per usable core. `plan` outlives the
  // session.
  StudySession(const StudyPlan& plan, const StudySettings& settings, StudyFiles files);
  StudySession(const StudySession&) = delete;
  StudySession& operator=(const StudySession&) = delete;

  // Opens the partial file to resume (its rows are then not run again); a
  // refusal when it is not one of this study's.
  std::optional<StudyRefusal> Open();
  // The rows the study hands on: the shard's cases, or the whole study's for
  // a join.
  std::int64_t Total() const;
  const StudySettings& Settings() const { return settings_; }
  // The study's base case (Settings().base), prepared once for every case
  // and output of the study.
  const PreparedCase& Base() const { return base_; }
  // The study's design checks (StudyChecks), formed once.
  const std::vector<CheckKind>& Checks() const { return checks_; }
  // The study's cases timed when more than `large` are left to run.
  std::optional<StudyEstimate> Estimate(std::int64_t large) const;

  // Runs the cases (or joins the shards) to the end or the stop; `done` is
  // told the rows handed on so far.
  StudyOutcome Run(const std::function<void(std::int64_t done)>& done = {});

  const StudyTally& Tally() const { return tally_; }
  const StudyWarnings& Warnings() const { return warnings_; }
  const SweepChartPoints& ChartPoints() const { return chartPoints_; }
  const StudyDocument& Document() const { return document_; }

 private:
  struct Resumed;
  StudyOutcome RunCases(const std::function<void(std::int64_t)>& done);
  StudyOutcome JoinShards(const std::function<void(std::int64_t)>& done);

  const StudyPlan& plan_;
  StudySettings settings_;
  PreparedCase base_;
  std::vector<CheckKind> checks_;
  StudyFiles files_;
  std::string fingerprint_;
  std::string header_;
  std::shared_ptr<Resumed> resumed_;
  StudyTally tally_;
  StudyWarnings warnings_;
  SweepChartPoints chartPoints_;
  StudyDocument document_;
};

}  // namespace kelvane
