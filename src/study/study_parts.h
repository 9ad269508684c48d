// The parts a study's CSV can come in: the file an interrupted study leaves
// (FILE.partial) and the shards of a job array. A partial file holds the
// header and the rows, each block of rows followed by a line that names the
// study's plan by a fingerprint, the shard, how many rows it holds so far and
// a checksum over them; a complete shard is a plain CSV with a manifest
// beside it (FILE.manifest) that says the same. The whole study's CSV has
// neither. Read back row by row, in bounded memory, for the rows to be copied
// as they are and counted in the report. Qt-free; prints nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/study.h"

namespace kelvane {

class CsvLineReader;

// Everything that decides a study's rows, hashed: the columns (the header),
// the factors with their values, the base texts, the design data, the pump
// event and area table and the limits. Not the shard, not the threads. 16
// hexadecimal digits.
// `base`: settings.base prepared once by the caller.
std::string StudyFingerprint(const StudyPlan& plan, const StudySettings& settings,
                             const PreparedCase& base);

// "#kelvane-study plan=HEX shard=K/N rows=R/T sum=S": a part of the plan HEX,
// rows R of the T of shard K/N (0/1: the whole study), whose bytes (each row
// with its LF) have the checksum S (StudyRowsSum).
struct StudyPart {
  std::string plan;
  std::int64_t shardIndex = 0;
  std::int64_t shardCount = 1;
  std::int64_t rows = 0;
  std::int64_t total = 0;
  std::string sum;
  bool Complete() const { return rows == total; }
  bool operator==(const StudyPart&) const = default;
};
std::string StudyPartLine(const StudyPart& part);  // with its LF
std::optional<StudyPart> ParseStudyPartLine(std::string_view line);

// The manifest beside a complete shard: "kelvane-shard plan=HEX shard=K/N
// rows=R/T sum=S" and an LF, and its name beside the CSV.
std::string StudyManifestText(const StudyPart& part);
std::optional<StudyPart> ParseStudyManifest(std::string_view text);
std::string StudyManifestName(const std::string& csv);

// The checksum of a part's rows: 64-bit FNV-1a over their bytes, as 16
// hexadecimal digits.
class StudyRowsSum {
 public:
  void Add(std::string_view row);
  std::string Hex() const;

 private:
  std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

// The last part line of a file open for reading from its start, and the
// offset just after it; none when the file has no part line. The file is left
// at its start. Needs a file that can seek.
struct FoundPart {
  StudyPart part;
  std::int64_t end = 0;
};
std::optional<FoundPart> FindLastStudyPart(std::FILE* in);

// A row of a study's CSV as it lies in a file: its bytes and what the report
// and the chart read of it.
struct StoredRow {
  std::string bytes;  // the whole row with its LF
  std::int64_t number = 0;
  int status = 0;
  bool passed = false;                   // complete, and no pass column 0
  std::optional<float> highest, lowest;  // m, the forebay's extremes
  // The limits' and checks' cells as read: pass, verdict and first failing
  // node, as CaseResult holds them.
  std::optional<bool> passMax, passMin;
  std::optional<CheckVerdict> verdictMax, verdictMin;
  std::vector<CaseResult::Check> checks;
};

// The cells of one CSV record (without its line end), unquoted.
std::vector<std::string> StudyCsvRecordCells(std::string_view record);

// The case as the tally and the chart see it: the values of its number, its
// status, the forebay's extremes, the limits' and checks' verdicts. Nothing
// else is set.
CaseResult StoredCaseResult(const StudyPlan& plan, const StoredRow& row);

// Reads a study's CSV from a stream: its header (which must be `header`),
// then row by row, part lines between them. CR LF line ends read as LF.
// Columns are found by their names in the header. Each row is checked
// against itself: a failed case holds no values and names its error, a
// complete one has its levels, and a pass cell agrees with its level and
// `limits` (or with the check's first failing node), and a verdict cell is
// a verdict that agrees with its pass cell. Throws StudyInputError naming the
// line.
class StudyCsvReader {
 public:
  StudyCsvReader(std::FILE* in, const std::string& header, const StudyLimits& limits = {});
  ~StudyCsvReader();
  StudyCsvReader(const StudyCsvReader&) = delete;
  StudyCsvReader& operator=(const StudyCsvReader&) = delete;
  // The next row; false at a part line (then Part() holds it, and Next goes
  // on after it) or at the end of the file.
  bool Next(StoredRow& row);
  const std::optional<StudyPart>& Part() const { return part_; }
  int Line() const { return line_; }  // of the last row read

 private:
  bool ReadLine(std::string& line);
  void CheckRow(const std::vector<std::string>& cells, int line) const;

  std::FILE* in_;
  std::vector<char> buffer_ = std::vector<char>(std::size_t{1} << 16);
  std::size_t at_ = 0, end_ = 0;
  int line_ = 0;  // lines read
  bool ended_ = false;
  std::optional<StudyPart> part_;
  std::unique_ptr<CsvLineReader> csv_;
  std::vector<std::string> row_;  // the cells of the last row read
  StudyLimits limits_;
  std::size_t status_ = 0, highest_ = 0, lowest_ = 0, cells_ = 0;
  std::optional<std::size_t> error_;
  std::vector<std::size_t> values_;  // the cells a failed case leaves empty
  // The cells of a limit or a check: its pass_ and verdict_ cells and, along
  // the culvert, its first failing node's.
  struct Judged {
    std::size_t pass = 0, verdict = 0;
    std::optional<std::size_t> node;
    std::optional<CheckKind> kind;  // none for a limit
    bool atMost = false;            // a limit of the highest level
  };
  std::vector<Judged> judged_;
};

}  // namespace kelvane
