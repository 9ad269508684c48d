#include "csv/csv_reader.h"

#include <csv.h>

#include <new>

namespace kelvane {

char SeparatorOf(std::string_view line, CsvSeparator rule) {
  if (rule == CsvSeparator::Comma) return ',';
  bool quoted = false, semicolon = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\t') return '\t';
    semicolon = semicolon || c == ';';
  }
  return semicolon ? ';' : ',';
}

struct CsvLineReader::Parser {
  csv_parser csv{};
  std::vector<std::string>* cells = nullptr;
  static void Cell(void* bytes, std::size_t size, void* self) {
    static_cast<Parser*>(self)->cells->emplace_back(static_cast<const char*>(bytes), size);
  }
  static void End(int, void*) {}
};

namespace {

void Start(csv_parser& csv) {
  if (csv_init(&csv, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
  // Cells are kept exactly: blanks are part of a box's text.
  csv_set_space_func(&csv, [](unsigned char) { return 0; });
}

}  // namespace

CsvLineReader::CsvLineReader() : parser_(std::make_unique<Parser>()) { Start(parser_->csv); }

CsvLineReader::~CsvLineReader() { csv_free(&parser_->csv); }

CsvFault CsvLineReader::Cells(std::string_view line, char separator,
                              std::vector<std::string>& cells) {
  cells.clear();
  csv_parser& csv = parser_->csv;
  parser_->cells = &cells;
  csv_set_delim(&csv, static_cast<unsigned char>(separator));
  const bool parsed = csv_parse(&csv, line.data(), line.size(), &Parser::Cell, &Parser::End,
                                parser_.get()) == line.size();
  const int error = parsed ? 0 : csv_error(&csv);
  if (error == CSV_ENOMEM || error == CSV_ETOOBIG) throw std::bad_alloc();
  // The end of the line ends the row, and leaves the parser ready for the
  // next line; after a fault it starts afresh.
  const bool closed = parsed && csv_fini(&csv, &Parser::Cell, &Parser::End, parser_.get()) == 0;
  if (parsed && closed) return CsvFault::None;
  csv_free(&csv);
  csv = csv_parser{};
  Start(csv);
  return parsed ? CsvFault::OpenQuote : CsvFault::StrayQuote;
}

std::vector<CsvRow> ReadCsvRows(std::string_view text, CsvSeparator rule) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  CsvLineReader reader;
  std::vector<CsvRow> rows;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    CsvRow row{number, {}};
    if (const CsvFault fault = reader.Cells(line, SeparatorOf(line, rule), row.cells);
        fault != CsvFault::None) {
      throw CsvError{number, fault};
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace kelvane
