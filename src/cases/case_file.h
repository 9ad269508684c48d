// Case files: the sixteen input texts exactly as typed, with an optional
// title and notes, in a small TOML file (UTF-8):
//
//   format-version = 1
//   title = "..."            # optional
//   notes = "..."            # optional
//   [project]                # optional: what the calculation book says of the project
//   name = "..."             # also stage, number, calculated_by, checked_by,
//   basis = ["...", "..."]   # reviewed_by, approved_by, friction_basis, wave_speed_basis
//   [inputs]
//   forebay-area = "1287.414"
//   [design]                 # optional, only the items given
//   forebay-wall-top = "-1.5"
//   [pump]                   # optional: the pump event
//   ramp-time = "30"         # or schedule = [["0", "41.6"], ["10", "0"]],
//   ramp-exponent = "1"      # or units = "4:-10.4:0:30:10"
//   [forebay]                # optional: the level–area table
//   area-table = [["-10", "450"], ["0", "2700"]]
//   [model]                  # optional: the march
//   kind = "balanced"        # or "mixed", or "classic", the default
//   section = "channel"      # the mixed model's section, or "box"
//   [[cases]]                # optional, repeated: an operating case
//   name = "最高库水位事故停泵"  # its name, unique
//   reservoir-level = "-3.5" # what differs from the base case: batch options
//   pump-schedule = "0:41.6,10:0"  # (a table also as [["0", "41.6"], ["10", "0"]])
//
// The keys of [inputs] and [design] are the batch options. A key left out takes its box's
// default text. A TOML number stands for a text: an integer for its decimal
// digits ("1500", "-5"), a float for the shortest text that reads back as the
// same double (C++ std::to_chars: 1287.414 gives "1287.414", 1.0 gives "1",
// 0.00001 gives "1e-05"); infinity and NaN are refused. The same rule holds
// for every value of [pump] and every cell of its tables. A file without
// format-version is read as version 1.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_reader.h"
#include "format/user_text.h"
#include "report/project_info.h"
#include "texts/case.h"

namespace kelvane {

// The format this program writes and the newest it reads.
constexpr int kCaseFormatVersion = 1;

struct CaseFile {
  // The title, notes, [inputs], [design], [pump] and [forebay]; a key left
  // out keeps the Case's default.
  Case base;
  ProjectInfo project = {};               // [project]; none by default
  std::vector<OperatingCase> cases = {};  // [[cases]], in the file's order

  bool operator==(const CaseFile&) const = default;
};

// What is wrong with a case file.
enum class CaseProblem {
  CannotRead,    // the file cannot be opened or read (systemError says why)
  TooLarge,      // larger than any case file (kMaxCaseFileBytes)
  NotToml,       // not a TOML document; detail: the parser's words
  NotUtf8,       // bytes that are not UTF-8 (encoding: what they seem to be, if known)
  ControlChar,   // a text holding a line break or other control character (detail: it)
  UnknownKey,    // a key that is not part of the format
  WrongType,     // a value of the wrong type (expected says which)
  NotFinite,     // an input given as the number inf or nan
  NewerVersion,  // format-version beyond kCaseFormatVersion
  BadVersion,    // format-version below 1
  TextNotUtf8,   // writing: an input text that is not UTF-8 cannot be stored
  NoCaseName,    // an operating case without a name (or an empty one)
  SameCaseName,  // two operating cases of one name (detail: the name)
};

// The type a value must have (CaseProblem::WrongType).
enum class CaseValueType { None, Text, TextOrNumber, Integer, Table, Pairs, TextList, TableList };

constexpr std::size_t kMaxCaseFileBytes = kLargestInputFile;

// A faulty case file as data; CaseFileErrorText words it.
struct CaseFileProblem {
  CaseProblem problem = CaseProblem::NotToml;
  std::string file;  // UTF-8 path as given
  int line = 0;      // 1-based; 0 when no line applies
  int column = 0;    // 1-based; 0 when not known
  std::string key;   // dotted key concerned: "inputs.forebay-area", "format-version"
  CaseValueType expected = CaseValueType::None;
  std::int64_t version = 0;  // the file's format-version (NewerVersion, BadVersion)
  int systemError = 0;       // errno (CannotRead)
  std::string detail;        // the TOML parser's own description (NotToml)
  TextEncoding encoding = TextEncoding::Unknown;  // NotUtf8

  bool operator==(const CaseFileProblem&) const = default;
};

class CaseFileError : public std::runtime_error {
 public:
  explicit CaseFileError(CaseFileProblem problem);
  const CaseFileProblem& problem() const { return problem_; }

 private:
  CaseFileProblem problem_;
};

// The one wording of a case-file error, in Chinese, one line without a line
// break at the end: "算例文件 “a.toml” 第 3 行：未知的键 “inputs.area”".
std::string CaseFileErrorText(const CaseFileProblem& problem);

// Reads a case from its bytes; `file` only names it in errors. Throws
// CaseFileError and nothing else.
CaseFile ParseCaseFile(std::string_view bytes, const std::string& file);

// Reads a case file. Throws CaseFileError and nothing else.
CaseFile ReadCaseFile(const std::string& path);

// The bytes of a case file: every input written as a TOML string, so that
// reading them back gives exactly the same texts. Throws CaseFileError
// (TextNotUtf8, naming the key; `file` names the file) when a text, the title
// or the notes is not UTF-8, which TOML cannot hold.
std::string CaseFileBytes(const CaseFile& caseFile, const std::string& file = "");

// Writes a case file through WriteFileAtomically. The bytes are formed first:
// an unstorable text throws CaseFileError and touches no file; a file fault
// throws RunError as every other written file does.
void WriteCaseFile(const std::string& path, const CaseFile& caseFile);

}  // namespace kelvane
