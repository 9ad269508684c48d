// Reading CSV text, the same rules for every table the program reads: a row
// is one line (a cell cannot hold a line break), ended by LF or CR LF; a cell
// with the separator or a quotation mark in it is quoted whole, a quotation
// mark within it written twice; blanks belong to the cells; a UTF-8
// byte-order mark before the first line is passed over.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// What keeps a line from being read.
enum class CsvFault {
  None,
  StrayQuote,  // a quotation mark inside an unquoted cell, or text after a closing one
  OpenQuote,   // a quoted cell still open at the end of its line
};

// The separator of a line: always a comma, or (a spreadsheet's copy) a tab
// when the line holds one outside quotes, else a semicolon when it holds
// one, else a comma.
enum class CsvSeparator { Comma, Detect };

char SeparatorOf(std::string_view line, CsvSeparator rule);

// Reads lines one at a time; keeps no state between them.
class CsvLineReader {
 public:
  CsvLineReader();
  ~CsvLineReader();
  CsvLineReader(const CsvLineReader&) = delete;
  CsvLineReader& operator=(const CsvLineReader&) = delete;

  // The cells of `line` (without its line end) into `cells`, none for an
  // empty line. Throws std::bad_alloc when memory runs out.
  CsvFault Cells(std::string_view line, char separator, std::vector<std::string>& cells);

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
};

// A row of a CSV text with its line number (from 1).
struct CsvRow {
  int line = 0;
  std::vector<std::string> cells;
};

// A line that cannot be read: its number and the fault.
struct CsvError {
  int line = 0;
  CsvFault fault = CsvFault::None;
};

// The rows of a whole text; lines of blanks alone are passed over. Throws
// CsvError at the first line that cannot be read.
std::vector<CsvRow> ReadCsvRows(std::string_view text, CsvSeparator rule);

}  // namespace kelvane
