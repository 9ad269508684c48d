// The cases of a design study: sweeps of input and design-data texts and
// tables of cases, combined as a product. Case n (1-based) is the n-th combination, the first
// factor varying slowest. Qt-free; reads nothing from files itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/inputs.h"
#include "run/case_item.h"
#include "texts/design_data.h"
#include "texts/event_texts.h"

namespace kelvane {

// A sweep or a case table that cannot be used. The message is the user's
// text (UTF-8); `line` is the case table's line (1 the header), 0 for none;
// `column` the character (1-based) on that line or in the sweep, 0 for none.
class StudyInputError : public std::runtime_error {
 public:
  explicit StudyInputError(const std::string& message, int line = 0, int column = 0)
      : std::runtime_error(message), line_(line), column_(column) {}
  int line() const { return line_; }
  int column() const { return column_; }

 private:
  int line_;
  int column_;
};

// What a column of a study sets (run/case_item.h).
using StudyItem = CaseItem;

// The item of a batch option's name, or none.
inline std::optional<StudyItem> StudyItemByOption(std::string_view option) {
  return CaseItemByOption(option);
}

// One factor of the product: a sweep (one column) or a case table (one
// column per header cell). Each column keeps its distinct values as texts;
// each row of the factor names one value per column.
struct StudyFactor {
  std::vector<StudyItem> items;                  // the columns
  std::vector<std::vector<std::string>> values;  // per column, its values
  std::vector<std::uint32_t> cells;              // row by row, a value index per column
  // A sweep's values by the item that gave them: values of one FROM:TO:STEP
  // item share a number above 0 and follow each other in numeric order; a
  // single text has 0. Empty for a case table.
  std::vector<std::uint32_t> rangeOf;
  // Where the factor came from, for the study's report: a case table's file
  // name; empty for a sweep.
  std::string source;
  // A case table's `name` column, row by row, as typed; empty without one.
  std::vector<std::string> names;
  // A case file's operating cases (OperatingCasesFactor): value 0 of every
  // column leaves its item as the base case has it.
  bool asBase = false;

  std::size_t RowCount() const { return items.empty() ? 0 : cells.size() / items.size(); }
};

// The most values one sweep may have.
constexpr std::int64_t kMaxSweepValues = 1'000'000;

// "OPTION=ITEM,ITEM,...": each item a text, or a range FROM:TO:STEP that
// stands for its values in order ("0.004,600:2000:350"). A range is computed in
// decimal, exactly: value k is FROM + k*STEP, and TO is included when it is
// such a value (TO - FROM an exact multiple of STEP); otherwise the last value
// is the last one short of TO. No rounding ever accumulates or decides the end.
// Each value is written as its shortest text (fixed or exponent notation,
// whichever is shorter, fixed on a tie: as std::to_chars writes a number).
// List texts are kept exactly as given, as a box would hold them.
StudyFactor ParseSweep(std::string_view sweepText);

// A case table in CSV (UTF-8): a header of option names, then one case per
// row, each cell the text of that option's box. A header cell `name` is no
// option: its column names each case (StudyFactor::names). Quoted cells may hold commas
// and quotes; cells are kept exactly (blanks included); blank lines are
// skipped; a UTF-8 byte-order mark is allowed. Throws StudyInputError naming
// the line for a malformed row, a row with another number of cells than the
// header, an unknown or repeated option name, or no case at all, and the line
// and column of a control character (a line break within a quoted cell
// included: a box holds none) or of bytes that are not UTF-8 (a table in
// UTF-16 or GBK is named as such). A line longer than kMaxCaseTableLine is
// refused as soon as it is seen.
StudyFactor ReadCaseTable(std::string_view csv);

// Supplies bytes piece by piece: fills up to `size` bytes of `buffer` and
// returns how many, 0 at the end.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;

// The longest line of a case table, in bytes without its line end.
constexpr std::size_t kMaxCaseTableLine = 64 * 1024;

// The same, read as a stream: one line is held at a time, however long the
// source.
StudyFactor ReadCaseTable(const ByteSource& source);

// The base case and a case file's operating cases as one factor, each row
// named: `baseName` first with nothing changed, then each operating case
// with what it changes, one column per item that any of them changes (in
// the order they first come). An item a case does not change stays as the
// base case has it. A change `kept` refuses is left out (one the command
// line gives, as it wins over every case); of two changes of one item, or
// of a pump schedule and a unit sequence, the later, as in OperatingCaseOf.
// `file` names the factor's source.
StudyFactor OperatingCasesFactor(std::string_view baseName, const std::vector<OperatingCase>& cases,
                                 const std::function<bool(const StudyItem&)>& kept,
                                 std::string file);

// The product of the factors, in the order they were added.
class StudyPlan {
 public:
  // Throws StudyInputError when a column is already in the plan, or when the
  // product would exceed kMaxCases.
  void Add(StudyFactor factor);

  static constexpr std::int64_t kMaxCases = std::int64_t{1} << 40;

  std::int64_t CaseCount() const { return cases_; }  // 0 with no factor
  const std::vector<StudyFactor>& Factors() const { return factors_; }
  // Every swept item, factor by factor.
  const std::vector<StudyItem>& Columns() const { return columns_; }
  std::size_t ValueCount(std::size_t column) const;
  const std::string& ValueText(std::size_t column, std::uint32_t value) const;
  // Whether value `value` of a column leaves its item as the base case has
  // it (StudyFactor::asBase).
  bool KeepsBase(std::size_t column, std::uint32_t value) const;
  // Whether two columns belong to one factor.
  bool SameFactor(std::size_t a, std::size_t b) const {
    return where_[a].factor == where_[b].factor;
  }
  // Whether values `a` and `a + 1` of a column come from one FROM:TO:STEP.
  bool NextInRange(std::size_t column, std::uint32_t a) const;

  // The value index of every column for case `number` (1..CaseCount()).
  void CaseValues(std::int64_t number, std::vector<std::uint32_t>& values) const;
  // Sets the swept texts of case `number` in `texts` and `design`, and in
  // `events` when given (SetEventText).
  void SetCaseTexts(std::int64_t number, InputTexts& texts, DesignTexts& design,
                    EventTexts* events = nullptr) const;
  // The same for the case whose CaseValues are `values`.
  void SetValueTexts(const std::vector<std::uint32_t>& values, InputTexts& texts,
                     DesignTexts& design, EventTexts* events = nullptr) const;
  // Whether a column sets a part of the pump event or the forebay's table.
  bool SweepsEvent() const;
  // Whether a case table names its cases; then the name of case `number`:
  // the names its rows give, factor by factor, joined by " / ".
  bool NamesCases() const;
  std::string CaseName(std::int64_t number) const;
  // `base` with the swept boxes of case `number` replaced.
  InputTexts CaseTexts(const InputTexts& base, std::int64_t number) const;

 private:
  struct ColumnAt {
    std::size_t factor;
    std::size_t column;  // within the factor
  };
  std::vector<StudyFactor> factors_;
  std::vector<StudyItem> columns_;
  std::vector<ColumnAt> where_;
  std::int64_t cases_ = 0;
};

}  // namespace kelvane
