// The CSV reader: cells as libcsv reads them, one row a line, the separator
// found outside quotes, and a fault that leaves the reader fit for the next
// line.
#include "csv/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

using Cells = std::vector<std::string>;

TEST(CsvReader, LinesGiveTheirCellsOrTheirFault) {
  struct Row {
    std::string line;
    CsvSeparator rule;
    CsvFault fault;
    Cells cells;
  };
  const Row rows[] = {
      {"a,b", CsvSeparator::Comma, CsvFault::None, {"a", "b"}},
      {" a , b ", CsvSeparator::Comma, CsvFault::None, {" a ", " b "}},
      {"\"a,b\",\"say \"\"hi\"\"\"", CsvSeparator::Comma, CsvFault::None, {"a,b", "say \"hi\""}},
      {"a;b", CsvSeparator::Comma, CsvFault::None, {"a;b"}},
      {"a;b,c", CsvSeparator::Detect, CsvFault::None, {"a", "b,c"}},
      {"a\tb;c", CsvSeparator::Detect, CsvFault::None, {"a", "b;c"}},
      {"\"a;b\",c", CsvSeparator::Detect, CsvFault::None, {"a;b", "c"}},
      {"a,", CsvSeparator::Comma, CsvFault::None, {"a", ""}},
      {"", CsvSeparator::Comma, CsvFault::None, {}},
      {"a\"b", CsvSeparator::Comma, CsvFault::StrayQuote, {}},
      {"\"a\"b", CsvSeparator::Comma, CsvFault::StrayQuote, {}},
      {"\"a", CsvSeparator::Comma, CsvFault::OpenQuote, {}},
  };
  CsvLineReader reader;
  for (const Row& row : rows) {
    Cells cells;
    // Each line twice: a fault before it leaves nothing behind.
    for (int again = 0; again < 2; ++again) {
      EXPECT_EQ(reader.Cells(row.line, SeparatorOf(row.line, row.rule), cells), row.fault)
          << row.line;
      if (row.fault == CsvFault::None) {
        EXPECT_EQ(cells, row.cells) << row.line;
      }
    }
  }
}

TEST(CsvReader, TextsKeepTheirLineNumbers) {
  const std::vector<CsvRow> rows = ReadCsvRows(
      "\xEF\xBB\xBF"
      "a,b\r\n\r\n  \n\"c\",d\n",
      CsvSeparator::Comma);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].line, 1);
  EXPECT_EQ(rows[0].cells, (Cells{"a", "b"}));
  EXPECT_EQ(rows[1].line, 4);
  EXPECT_EQ(rows[1].cells, (Cells{"c", "d"}));
  try {
    ReadCsvRows("a\nb\n\"c\n", CsvSeparator::Comma);
    ADD_FAILURE() << "an open quote read";
  } catch (const CsvError& error) {
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.fault, CsvFault::OpenQuote);
  }
}

}  // namespace
}  // namespace kelvane
