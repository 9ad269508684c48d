#include "study/study_plan.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <optional>

#include "csv/csv_reader.h"
#include "format/user_text.h"

namespace kelvane {
namespace {

using Int = __int128;

std::string Quoted(std::string_view text) { return QuotedText(text); }

// A decimal number read exactly: mantissa * 10^exponent.
struct Decimal {
  Int mantissa = 0;
  int exponent = 0;
};

constexpr int kMaxDigits = 30;     // significant digits of one bound or step
constexpr int kMaxExponent = 400;  // beyond the double range either way
constexpr int kMaxScaledDigits = 36;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [sign] digits [. digits] [e [sign] digits], the whole text, nothing else;
// `outOfRange` is set for such a number beyond every double ("1e400",
// "2e308") or below 10^-400.
std::optional<Decimal> ParseDecimal(std::string_view s, bool& outOfRange) {
  outOfRange = false;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  Int mantissa = 0;
  int significant = 0, fraction = 0;
  bool anyDigit = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] == '.' && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(s[i])) break;
    anyDigit = true;
    if (mantissa != 0 || s[i] != '0') {
      if (++significant > kMaxDigits) return std::nullopt;
    }
    mantissa = mantissa * 10 + (s[i] - '0');
    if (point) ++fraction;
  }
  if (!anyDigit) return std::nullopt;
  int exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
    if (i == s.size()) return std::nullopt;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
      exponent = std::min(exponent * 10 + (s[i] - '0'), 10 * kMaxExponent);
    }
    if (negativeExponent) exponent = -exponent;
  }
  if (i != s.size()) return std::nullopt;
  exponent -= fraction;
  if (mantissa != 0 && (exponent > kMaxExponent || exponent < -kMaxExponent)) {
    outOfRange = true;
    return std::nullopt;
  }
  // A box given this text would overflow: the bounds stay within the doubles.
  double value = 0;
  const std::string_view magnitude = s.substr(s.starts_with('+') || s.starts_with('-') ? 1 : 0);
  if (mantissa != 0 && exponent > 0 &&
      std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), value).ec ==
          std::errc::result_out_of_range) {
    outOfRange = true;
    return std::nullopt;
  }
  return Decimal{negative ? -mantissa : mantissa, mantissa == 0 ? 0 : exponent};
}

// `value` scaled to 10^`exponent` (not above its own), or nothing when it
// would take more than kMaxScaledDigits digits.
std::optional<Int> Scaled(const Decimal& value, int exponent) {
  Int m = value.mantissa;
  Int limit = 1;
  for (int k = 0; k < kMaxScaledDigits; ++k) limit *= 10;
  for (int shift = value.exponent - exponent; shift > 0; --shift) {
    if (m >= limit / 10 || m <= -limit / 10) return std::nullopt;
    m *= 10;
  }
  return m;
}

// The shortest text of value * 10^exponent: fixed or exponent notation,
// whichever has fewer characters, fixed on a tie.
std::string DecimalText(Int value, int exponent) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  unsigned __int128 magnitude = negative ? -static_cast<unsigned __int128>(value) : value;
  std::string digits;
  for (; magnitude != 0; magnitude /= 10) digits.push_back(char('0' + int(magnitude % 10)));
  std::reverse(digits.begin(), digits.end());
  while (digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  const int n = static_cast<int>(digits.size());
  std::string fixed;
  if (exponent >= 0) {
    fixed.append(digits).append(exponent, '0');
  } else if (n > -exponent) {
    fixed.append(digits, 0, n + exponent).append(1, '.').append(digits, n + exponent);
  } else {
    fixed.append("0.").append(-exponent - n, '0').append(digits);
  }
  const int power = exponent + n - 1;
  std::string scientific(1, digits[0]);
  if (n > 1) scientific.append(1, '.').append(digits, 1);
  scientific.append(power < 0 ? "e-" : "e+");
  const std::string powerText = std::to_string(power < 0 ? -power : power);
  scientific.append(2 - std::min<std::size_t>(2, powerText.size()), '0').append(powerText);
  std::string text = negative ? "-" : "";
  return text.append(scientific.size() < fixed.size() ? scientific : fixed);
}

std::vector<std::string> RangeValues(std::string_view option, std::string_view from,
                                     std::string_view to, std::string_view step) {
  const std::string where = "--sweep " + std::string(option) + "=";
  const std::string_view parts[3] = {from, to, step};
  std::optional<Decimal> bounds[3];
  for (int k = 0; k < 3; ++k) {
    bool outOfRange = false;
    bounds[k] = ParseDecimal(parts[k], outOfRange);
    if (outOfRange) throw StudyInputError(where + " 中的 " + Quoted(parts[k]) + " 超出数的范围");
    if (!bounds[k]) {
      throw StudyInputError(where + " 中的 " + Quoted(parts[k]) + " 不是数（至多 30 位有效数字）");
    }
  }
  const int exponent = std::min({bounds[0]->exponent, bounds[1]->exponent, bounds[2]->exponent});
  std::optional<Int> first = Scaled(*bounds[0], exponent), last = Scaled(*bounds[1], exponent),
                     stride = Scaled(*bounds[2], exponent);
  if (!first || !last || !stride) throw StudyInputError(where + " 的起点、终点与步长位数相差太多");
  if (*stride == 0) throw StudyInputError(where + " 的步长为 0");
  const Int span = *last - *first;
  if ((span > 0 && *stride < 0) || (span < 0 && *stride > 0)) {
    throw StudyInputError(where + " 的步长方向与起点到终点相反");
  }
  // Both of one sign: the quotient truncates towards zero, the last value is
  // TO itself or the last one short of it.
  const Int steps = span / *stride;
  if (steps >= kMaxSweepValues) {
    throw StudyInputError(where + " 的取值超过 " + std::to_string(kMaxSweepValues) + " 个");
  }
  std::vector<std::string> values;
  for (Int k = 0; k <= steps; ++k) values.push_back(DecimalText(*first + k * *stride, exponent));
  return values;
}

// The option a name that is not one may mean: the same letters in another
// case, '_' for '-' ("Forebay_Area" for forebay-area); none when no option
// is spelt so.
std::optional<std::string> KnownSpelling(std::string_view name) {
  auto folded = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) c = c == '_' ? '-' : c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return out;
  };
  const std::string wanted = folded(name);
  for (const InputField& field : InputFields()) {
    if (wanted == folded(field.option)) return field.option;
  }
  for (const DesignField& field : DesignFields()) {
    if (wanted == folded(field.option)) return field.option;
  }
  return std::nullopt;
}

// "“NAME” 不是输入选项", with the option it may mean or an example.
std::string UnknownOptionText(std::string_view name) {
  const std::optional<std::string> known = KnownSpelling(name);
  return Quoted(name) + " 不是输入选项（" + (known ? "应写作 " + *known : "如 forebay-area") + "）";
}

// The factor of a case table, built row by row: the header, then the cases.
class CaseTableBuilder {
 public:
  void Add(const CsvRow& row) {
    if (!header_) return Header(row);
    const std::size_t columns = factor_.items.size() + (nameColumn_ ? 1 : 0);
    if (row.cells.size() != columns) {
      throw StudyInputError("有 " + std::to_string(row.cells.size()) + " 个单元格，表头有 " +
                                std::to_string(columns) + " 个",
                            row.line);
    }
    std::size_t c = 0;
    for (std::size_t cell = 0; cell < columns; ++cell) {
      if (cell == nameColumn_) {
        factor_.names.push_back(row.cells[cell]);
        continue;
      }
      auto [at, added] = index_[c].try_emplace(
          row.cells[cell], static_cast<std::uint32_t>(factor_.values[c].size()));
      if (added) factor_.values[c].push_back(row.cells[cell]);
      factor_.cells.push_back(at->second);
      ++c;
    }
  }
  StudyFactor Finish() {
    if (!header_) throw StudyInputError("案例文件是空的", 1);
    if (factor_.cells.empty()) throw StudyInputError("案例文件只有表头，没有案例", *header_);
    return std::move(factor_);
  }

 private:
  void Header(const CsvRow& header) {
    for (const std::string& cell : header.cells) {
      const std::size_t first = cell.find_first_not_of(' ');
      const std::string name = first == std::string::npos
                                   ? ""
                                   : cell.substr(first, cell.find_last_not_of(' ') + 1 - first);
      if (name == kNameColumn) {
        if (nameColumn_) throw StudyInputError("表头 " + Quoted(name) + " 出现两次", header.line);
        nameColumn_ = &cell - header.cells.data();
        continue;
      }
      const std::optional<StudyItem> item = StudyItemByOption(name);
      if (!item) {
        throw StudyInputError("表头 " + UnknownOptionText(name), header.line);
      }
      if (std::find(factor_.items.begin(), factor_.items.end(), *item) != factor_.items.end()) {
        throw StudyInputError("表头 " + Quoted(name) + " 出现两次", header.line);
      }
      factor_.items.push_back(*item);
    }
    if (factor_.items.empty() && nameColumn_) {
      throw StudyInputError("表头除 name 外没有输入选项", header.line);
    }
    header_ = header.line;
    factor_.values.resize(factor_.items.size());
    index_.resize(factor_.items.size());
  }

  static constexpr std::string_view kNameColumn = "name";
  std::optional<int> header_;              // the header's line, once read
  std::optional<std::size_t> nameColumn_;  // the header's `name` cell
  StudyFactor factor_;
  std::vector<std::map<std::string, std::uint32_t, std::less<>>> index_;
};

constexpr std::string_view kCaseTextRule = "（案例文本不能含换行、制表符等控制字符）";

// The checks of one line of a case table before it is parsed: its length,
// its encoding, no control character, no cell left open at its end.
void CheckLine(std::string_view body, int line) {
  if (body.size() > kMaxCaseTableLine) {
    throw StudyInputError("一行超过 " + std::to_string(kMaxCaseTableLine / 1024) +
                              " KiB（案例文件一行至多 " + std::to_string(kMaxCaseTableLine) +
                              " 字节）",
                          line);
  }
  if (const std::optional<TextFault> fault = FindTextFault(body, true)) {
    if (fault->kind == TextFault::Kind::ControlCharacter) {
      throw StudyInputError("有控制字符 " + fault->character + std::string(kCaseTextRule), line,
                            fault->column);
    }
    if (GuessEncoding(body) == TextEncoding::Gbk) {
      throw StudyInputError(EncodingAdvice(TextEncoding::Gbk), line);
    }
    throw StudyInputError("不是有效的 UTF-8 文本（案例文件须以 UTF-8 保存）", line, fault->column);
  }
}

// The cells of a line, whose quotes must pair within it: a cell that went on
// to the next line would hold a line break.
void ReadCells(CsvLineReader& reader, std::string_view body, int line,
               std::vector<std::string>& cells) {
  switch (reader.Cells(body, ',', cells)) {
    case CsvFault::None:
      return;
    case CsvFault::StrayQuote:
      // A quote inside an unquoted cell, or text after a closing quote.
      throw StudyInputError("引号不配对（带逗号或引号的单元格须整格加引号，格内引号写两次）", line);
    case CsvFault::OpenQuote: {
      int column = 1;
      for (std::string_view rest = body; !rest.empty(); ++column)
        rest.remove_prefix(std::max<std::size_t>(Utf8SequenceLength(rest), 1));
      throw StudyInputError("引号未闭合，单元格不能跨行" + std::string(kCaseTextRule), line,
                            column);
    }
  }
}

}  // namespace

StudyFactor ParseSweep(std::string_view sweepText) {
  const std::size_t equals = sweepText.find('=');
  const std::string_view option = sweepText.substr(0, equals);
  const std::optional<StudyItem> swept = StudyItemByOption(option);
  if (equals != std::string_view::npos && !swept && !option.empty()) {
    throw StudyInputError("--sweep 的 " + UnknownOptionText(option));
  }
  if (equals == std::string_view::npos || !swept) {
    throw StudyInputError(
        "--sweep 须写作 输入选项=起点:终点:步长 或 输入选项=文本1,文本2,...，而不是 " +
        Quoted(sweepText));
  }
  const std::string where = "--sweep " + std::string(option) + "=";
  if (const std::optional<TextFault> fault = FindTextFault(sweepText.substr(equals + 1), false)) {
    const int column = static_cast<int>(equals) + 1 + fault->column;
    throw StudyInputError(where + " 第 " + std::to_string(column) + " 列有控制字符 " +
                              fault->character + std::string(kCaseTextRule),
                          0, column);
  }
  if (swept->event && *swept->event != EventField::RampTime &&
      *swept->event != EventField::RampExponent && *swept->event != EventField::Model &&
      *swept->event != EventField::Section) {
    // Its values hold the commas and colons of a sweep's own items.
    throw StudyInputError("--sweep 不能扫描 " + std::string(option) +
                          "，请用 --cases 案例表（每行一个表，写作 \"0:41.6,10:20.8\"）");
  }
  StudyFactor factor;
  factor.items = {*swept};
  factor.values.resize(1);
  std::vector<std::string>& values = factor.values[0];
  const std::string_view items = sweepText.substr(equals + 1);
  for (std::size_t start = 0, ranges = 0;;) {
    const std::size_t comma = std::min(items.find(',', start), items.size());
    const std::string_view item = items.substr(start, comma - start);
    if (item.empty()) throw StudyInputError(where + " 的取值列表中有空值");
    if (item.find(':') == std::string_view::npos) {
      values.emplace_back(item);
      factor.rangeOf.push_back(0);
    } else {
      const std::size_t a = item.find(':'), b = item.find(':', a + 1);
      if (b == std::string_view::npos || item.find(':', b + 1) != std::string_view::npos) {
        throw StudyInputError(where + " 的范围须写作 起点:终点:步长，而不是 " + Quoted(item));
      }
      ++ranges;
      for (std::string& value : RangeValues(option, item.substr(0, a),
                                            item.substr(a + 1, b - a - 1), item.substr(b + 1))) {
        values.push_back(std::move(value));
        factor.rangeOf.push_back(static_cast<std::uint32_t>(ranges));
      }
    }
    if (static_cast<std::int64_t>(values.size()) > kMaxSweepValues) {
      throw StudyInputError(where + " 的取值超过 " + std::to_string(kMaxSweepValues) + " 个");
    }
    if (comma == items.size()) break;
    start = comma + 1;
  }
  for (std::size_t k = 0; k < values.size(); ++k)
    factor.cells.push_back(static_cast<std::uint32_t>(k));
  return factor;
}

StudyFactor ReadCaseTable(const ByteSource& source) {
  CsvLineReader reader;
  CaseTableBuilder table;
  CsvRow row;
  int number = 0;
  const auto takeLine = [&](std::string_view line) {
    ++number;
    if (number == 1) {
      if (LooksLikeUtf16(line)) throw StudyInputError(EncodingAdvice(TextEncoding::Utf16), 1);
      if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // a UTF-8 byte-order mark
    }
    std::string_view body = line;
    if (body.ends_with('\n')) body.remove_suffix(1);
    if (body.ends_with('\r')) body.remove_suffix(1);
    CheckLine(body, number);
    ReadCells(reader, body, number, row.cells);
    row.line = number;
    if (!row.cells.empty()) table.Add(row);
  };
  // Line by line, never more than one line held: a file without line ends
  // (/dev/zero) is refused once its first line is too long.
  std::string line;
  std::vector<char> buffer(1 << 16);
  while (const std::size_t got = source(buffer.data(), buffer.size())) {
    for (std::string_view piece(buffer.data(), got); !piece.empty();) {
      const std::size_t end = piece.find('\n');
      const std::size_t take = end == std::string_view::npos ? piece.size() : end + 1;
      line.append(piece.substr(0, take));
      piece.remove_prefix(take);
      if (end != std::string_view::npos) {
        takeLine(line);
        line.clear();
      } else if (line.size() > kMaxCaseTableLine + 2) {
        CheckLine(line, number + 1);
      }
    }
  }
  if (!line.empty()) takeLine(line);
  return table.Finish();
}

StudyFactor ReadCaseTable(std::string_view csv) {
  return ReadCaseTable([&csv](char* buffer, std::size_t size) {
    const std::size_t take = std::min(size, csv.size());
    std::copy_n(csv.data(), take, buffer);
    csv.remove_prefix(take);
    return take;
  });
}

StudyFactor OperatingCasesFactor(std::string_view baseName, const std::vector<OperatingCase>& cases,
                                 const std::function<bool(const StudyItem&)>& kept,
                                 std::string file) {
  const auto pumpPart = [](const StudyItem& item) {
    return item.event == EventField::PumpSchedule || item.event == EventField::PumpUnits;
  };
  // Each case's changes that stand, by column.
  std::vector<std::vector<std::pair<std::size_t, std::string>>> rows;
  StudyFactor factor;
  for (const OperatingCase& operating : cases) {
    std::vector<std::pair<StudyItem, std::string>> made;
    for (const auto& [option, text] : operating.changes) {
      const std::optional<StudyItem> item = StudyItemByOption(option);
      if (!item || !kept(*item)) continue;
      std::erase_if(made, [&](const auto& m) {
        return m.first == *item || (pumpPart(m.first) && pumpPart(*item));
      });
      made.emplace_back(*item, text);
    }
    auto& row = rows.emplace_back();
    for (auto& [item, text] : made) {
      auto at = std::find(factor.items.begin(), factor.items.end(), item);
      if (at == factor.items.end()) at = factor.items.insert(factor.items.end(), item);
      row.emplace_back(static_cast<std::size_t>(at - factor.items.begin()), std::move(text));
    }
  }
  // Value 0 of each column stands for the base case's text.
  factor.values.assign(factor.items.size(), {std::string()});
  std::vector<std::map<std::string, std::uint32_t, std::less<>>> index(factor.items.size());
  factor.cells.assign(factor.items.size() * (rows.size() + 1), 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (const auto& [column, text] : rows[r]) {
      auto [at, added] =
          index[column].try_emplace(text, static_cast<std::uint32_t>(factor.values[column].size()));
      if (added) factor.values[column].push_back(text);
      factor.cells[(r + 1) * factor.items.size() + column] = at->second;
    }
  }
  factor.names.emplace_back(baseName);
  for (const OperatingCase& operating : cases) factor.names.push_back(operating.name);
  factor.source = std::move(file);
  factor.asBase = true;
  return factor;
}

void StudyPlan::Add(StudyFactor factor) {
  for (const StudyItem& item : factor.items) {
    if (std::find(columns_.begin(), columns_.end(), item) != columns_.end()) {
      throw StudyInputError(std::string("输入选项 ") + item.Option() + " 扫描了两次");
    }
  }
  const auto rows = static_cast<std::int64_t>(factor.RowCount());
  const std::int64_t before = cases_ == 0 ? 1 : cases_;
  if (rows == 0 || rows > kMaxCases / before) {
    throw StudyInputError("案例太多（至多 " + std::to_string(kMaxCases) + " 个）");
  }
  cases_ = before * rows;
  for (std::size_t c = 0; c < factor.items.size(); ++c) {
    columns_.push_back(factor.items[c]);
    where_.push_back({factors_.size(), c});
  }
  factors_.push_back(std::move(factor));
}

std::size_t StudyPlan::ValueCount(std::size_t column) const {
  return factors_[where_[column].factor].values[where_[column].column].size();
}

const std::string& StudyPlan::ValueText(std::size_t column, std::uint32_t value) const {
  return factors_[where_[column].factor].values[where_[column].column][value];
}

bool StudyPlan::KeepsBase(std::size_t column, std::uint32_t value) const {
  return value == 0 && factors_[where_[column].factor].asBase;
}

bool StudyPlan::NextInRange(std::size_t column, std::uint32_t a) const {
  const StudyFactor& factor = factors_[where_[column].factor];
  return a + 1u < factor.rangeOf.size() && factor.rangeOf[a] != 0 &&
         factor.rangeOf[a] == factor.rangeOf[a + 1];
}

void StudyPlan::CaseValues(std::int64_t number, std::vector<std::uint32_t>& values) const {
  values.resize(columns_.size());
  // Mixed radix over the factors' rows, the last factor varying fastest.
  std::int64_t index = number - 1;
  std::size_t column = columns_.size();
  for (std::size_t f = factors_.size(); f-- > 0;) {
    const StudyFactor& factor = factors_[f];
    const auto rows = static_cast<std::int64_t>(factor.RowCount());
    const std::size_t row = static_cast<std::size_t>(index % rows);
    index /= rows;
    column -= factor.items.size();
    for (std::size_t c = 0; c < factor.items.size(); ++c) {
      values[column + c] = factor.cells[row * factor.items.size() + c];
    }
  }
}

void StudyPlan::SetCaseTexts(std::int64_t number, InputTexts& texts, DesignTexts& design,
                             EventTexts* events) const {
  std::vector<std::uint32_t> values;
  CaseValues(number, values);
  SetValueTexts(values, texts, design, events);
}

void StudyPlan::SetValueTexts(const std::vector<std::uint32_t>& values, InputTexts& texts,
                              DesignTexts& design, EventTexts* events) const {
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const StudyItem& item = columns_[c];
    if (KeepsBase(c, values[c])) continue;
    if (item.input) {
      texts[*item.input] = ValueText(c, values[c]);
    } else if (item.design) {
      design[*item.design] = ValueText(c, values[c]);
    } else if (events != nullptr) {
      SetEventText(*events, *item.event, ValueText(c, values[c]));
    }
  }
}

bool StudyPlan::SweepsEvent() const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [](const StudyItem& item) { return item.event.has_value(); });
}

bool StudyPlan::NamesCases() const {
  return std::any_of(factors_.begin(), factors_.end(),
                     [](const StudyFactor& factor) { return !factor.names.empty(); });
}

std::string StudyPlan::CaseName(std::int64_t number) const {
  std::vector<std::string> names;
  std::int64_t index = number - 1;
  for (std::size_t f = factors_.size(); f-- > 0;) {
    const StudyFactor& factor = factors_[f];
    const auto rows = static_cast<std::int64_t>(factor.RowCount());
    const auto row = static_cast<std::size_t>(index % rows);
    index /= rows;
    if (!factor.names.empty()) names.insert(names.begin(), factor.names[row]);
  }
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " / ") + name;
  return joined;
}

InputTexts StudyPlan::CaseTexts(const InputTexts& base, std::int64_t number) const {
  InputTexts texts = base;
  DesignTexts design;
  SetCaseTexts(number, texts, design);
  return texts;
}

}  // namespace kelvane
