// The case-table reader on arbitrary bytes: it either names a line (1 or
// more) in a StudyInputError or returns a table whose every cell is a value
// of its column, and which reads back the same when written out again with
// every cell quoted.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "study/study_plan.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "case table: %s\n", what);
    std::abort();
  }
}

std::string Quote(std::string_view cell) {
  std::string out = "\"";
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view csv(reinterpret_cast<const char*>(data), size);
  kelvane::StudyFactor table;
  try {
    table = kelvane::ReadCaseTable(csv);
  } catch (const kelvane::StudyInputError& error) {
    Check(error.line() >= 1, "a fault without its line");
    return 0;
  }
  const std::size_t columns = table.items.size();
  Check(columns > 0 && table.values.size() == columns, "no columns");
  Check(table.RowCount() > 0 && table.cells.size() == table.RowCount() * columns, "ragged table");
  for (std::size_t i = 0; i < table.cells.size(); ++i) {
    Check(table.cells[i] < table.values[i % columns].size(), "a cell outside its column's values");
  }

  std::string written;
  for (std::size_t c = 0; c < columns; ++c) {
    written += (c ? "," : "") + Quote(table.items[c].Option());
  }
  written += "\r\n";
  for (std::size_t r = 0; r < table.RowCount(); ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      written += (c ? "," : "") + Quote(table.values[c][table.cells[r * columns + c]]);
    }
    written += "\n";
  }
  const kelvane::StudyFactor again = kelvane::ReadCaseTable(written);
  Check(again.items == table.items && again.values == table.values && again.cells == table.cells,
        "written out and read again, the table differs");
  return 0;
}
