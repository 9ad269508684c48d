// The cases of a design study: sweeps of input and design-data texts and
// tables of cases, combined as a product. Case n (1-based) is the n-th combination, the first
// factor varying slowest. Qt-free; reads nothing from files itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "solver/design_data.h"
#include "solver/inputs.h"

namespace kelvane {

// A sweep or a case table that cannot be used. The message is the user's
// text (UTF-8); `line` is the case table's line (1 the header), 0 for none.
class StudyInputError : public std::runtime_error {
 public:
  explicit StudyInputError(const std::string& message, int line = 0)
      : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// What a column of a study sets: the text of an input box or of an item of
// the design data.
struct StudyItem {
  StudyItem(InputId id) : input(id) {}    // NOLINT(google-explicit-constructor)
  StudyItem(DesignId id) : design(id) {}  // NOLINT(google-explicit-constructor)
  std::optional<InputId> input;
  std::optional<DesignId> design;

  const char* Option() const;  // the batch option: "forebay-area", "culvert-height"
  const char* Caption() const;
  const char* Unit() const;  // "" for none
  bool operator==(const StudyItem&) const = default;
};

// The item of a batch option's name, or none.
std::optional<StudyItem> StudyItemByOption(std::string_view option);

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

// A case table in CSV: a header of option names, then one case per row, each
// cell the text of that option's box. Quoted cells may hold commas, quotes and
// line breaks; cells are kept exactly (blanks included); blank lines are
// skipped; a UTF-8 byte-order mark is allowed. Throws StudyInputError naming
// the line for a malformed row, a row with another number of cells than the
// header, an unknown or repeated option name, or no case at all.
StudyFactor ReadCaseTable(std::string_view csv);

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
  // Whether values `a` and `a + 1` of a column come from one FROM:TO:STEP.
  bool NextInRange(std::size_t column, std::uint32_t a) const;

  // The value index of every column for case `number` (1..CaseCount()).
  void CaseValues(std::int64_t number, std::vector<std::uint32_t>& values) const;
  // Sets the swept texts of case `number` in `texts` and `design`.
  void SetCaseTexts(std::int64_t number, InputTexts& texts, DesignTexts& design) const;
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
