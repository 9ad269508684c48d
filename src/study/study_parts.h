// The parts a study's CSV can come in: the file an interrupted study leaves
// (FILE.partial) and the shards of a job array. Each ends in a line that
// names the study's plan by a fingerprint, the shard and how many of its rows
// it holds; the whole study's CSV never has that line. Read back row by row,
// in bounded memory, for the rows to be copied as they are and counted in the
// report. Qt-free; prints nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/study.h"

namespace kelvane {

// Everything that decides a study's rows, hashed: the columns (the header),
// the factors with their values, the base texts, the design data, the pump
// event and area table and the limits. Not the shard, not the threads. 16
// hexadecimal digits.
std::string StudyFingerprint(const StudyPlan& plan, const StudySettings& settings);

// "#kelvane-study plan=HEX shard=K/N rows=R/T": a part of the plan HEX, rows
// R of the T of shard K/N (0/1: the whole study).
struct StudyPart {
  std::string plan;
  std::int64_t shardIndex = 0;
  std::int64_t shardCount = 1;
  std::int64_t rows = 0;
  std::int64_t total = 0;
  bool Complete() const { return rows == total; }
  bool operator==(const StudyPart&) const = default;
};
std::string StudyPartLine(const StudyPart& part);  // with its LF
std::optional<StudyPart> ParseStudyPartLine(std::string_view line);

// The part line that ends a file open for reading from its start, or none;
// the file is left at its start. Needs a file that can seek.
std::optional<StudyPart> ReadStudyPart(std::FILE* in);

// A row of a study's CSV as it lies in a file: its bytes and what the report
// and the chart read of it.
struct StoredRow {
  std::string bytes;  // the whole row with its LF
  std::int64_t number = 0;
  int status = 0;
  bool passed = false;                   // complete, and no pass column 0
  std::optional<float> highest, lowest;  // m, the forebay's extremes
};

// The cells of one CSV record (without its line end), unquoted.
std::vector<std::string> StudyCsvRecordCells(std::string_view record);

// The case as the tally and the chart see it: the values of its number, its
// status, whether it passed, the forebay's extremes. Nothing else is set.
CaseResult StoredCaseResult(const StudyPlan& plan, const StoredRow& row);

// Reads a study's CSV from a stream: its header (which must be `header`),
// then row by row up to a part line or the end. Columns are found by their
// names in the header. Throws StudyInputError naming the line.
class StudyCsvReader {
 public:
  StudyCsvReader(std::FILE* in, const std::string& header);
  // The next row; false at a part line or the end of the file.
  bool Next(StoredRow& row);
  int Line() const { return line_; }  // of the last row read

 private:
  bool ReadLine(std::string& line);

  std::FILE* in_;
  std::vector<char> buffer_ = std::vector<char>(std::size_t{1} << 16);
  std::size_t at_ = 0, end_ = 0;
  int line_ = 0;  // lines read
  bool ended_ = false;
  std::size_t status_ = 0, highest_ = 0, lowest_ = 0, cells_ = 0;
  std::vector<std::size_t> passes_;
  std::vector<std::size_t> verdicts_;
};

}  // namespace kelvane
