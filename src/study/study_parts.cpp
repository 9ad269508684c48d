// The parts of a study's CSV: the fingerprint of its plan, the line that
// ends a part, and the rows read back.
#include "study/study_parts.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kelvane {
namespace {

// 64-bit FNV-1a over pieces, each preceded by its length so that no two
// lists of pieces hash as one text.
class Hash {
 public:
  void Add(std::string_view bytes) {
    AddNumber(bytes.size());
    for (unsigned char c : bytes) Byte(c);
  }
  void AddNumber(std::uint64_t value) {
    for (int k = 0; k < 8; ++k) Byte(static_cast<unsigned char>(value >> (8 * k)));
  }
  void AddDouble(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    AddNumber(bits);
  }
  void AddOptional(const std::optional<double>& value) {
    AddNumber(value.has_value());
    if (value) AddDouble(*value);
  }
  std::string Hex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int k = 0; k < 16; ++k) text[15 - k] = kDigits[(state_ >> (4 * k)) & 15];
    return text;
  }

 private:
  void Byte(unsigned char c) {
    state_ ^= c;
    state_ *= 0x100000001b3ULL;
  }
  std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

void AddExtras(Hash& hash, const ModelExtras& extras) {
  const PumpEvent& pump = extras.pump;
  hash.AddDouble(pump.rampTime);
  hash.AddDouble(pump.rampExponent);
  hash.AddNumber(pump.schedule.size());
  for (const PumpPoint& point : pump.schedule) {
    hash.AddDouble(point.time);
    hash.AddDouble(point.discharge);
  }
  hash.AddNumber(pump.units.has_value());
  if (pump.units) {
    hash.AddNumber(static_cast<std::uint64_t>(pump.units->units));
    for (double v : {pump.units->discharge, pump.units->firstTime, pump.units->interval,
                     pump.units->rampTime}) {
      hash.AddDouble(v);
    }
  }
  hash.AddNumber(extras.forebay.areaTable.size());
  for (const ForebayPoint& point : extras.forebay.areaTable) {
    hash.AddDouble(point.level);
    hash.AddDouble(point.area);
  }
}

template <typename T>
bool ReadWhole(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "K/N" or "R/T".
bool ReadPair(std::string_view text, std::int64_t& a, std::int64_t& b) {
  const std::size_t slash = text.find('/');
  return slash != std::string_view::npos && ReadWhole(text.substr(0, slash), a) &&
         ReadWhole(text.substr(slash + 1), b);
}

constexpr std::string_view kPartPrefix = "#kelvane-study ";

// The cells of one record, quotes left in place (the cells read here are
// never quoted).
std::vector<std::string_view> Cells(std::string_view record) {
  std::vector<std::string_view> cells;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i] == '"') quoted = !quoted;
    if (!quoted && record[i] == ',') {
      cells.push_back(record.substr(start, i - start));
      start = i + 1;
    }
  }
  cells.push_back(record.substr(start));
  return cells;
}

}  // namespace

std::vector<std::string> StudyCsvRecordCells(std::string_view record) {
  std::vector<std::string> cells;
  for (std::string_view cell : Cells(record)) {
    std::string& text = cells.emplace_back();
    if (!cell.starts_with('"')) {
      text = cell;
      continue;
    }
    // "a ""b""" holds a "b": the outer quotes go, a doubled one stays once.
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
      text += cell[i];
      if (cell[i] == '"') ++i;
    }
  }
  return cells;
}

std::string StudyFingerprint(const StudyPlan& plan, const StudySettings& settings) {
  Hash hash;
  hash.Add(StudyCsvHeader(plan, settings.limits, StudyChecks(plan, settings),
                          StudyNamesEvent(plan, settings)));
  hash.AddNumber(plan.Factors().size());
  for (const StudyFactor& factor : plan.Factors()) {
    hash.AddNumber(factor.items.size());
    for (const StudyItem& item : factor.items) hash.Add(item.Option());
    for (const std::vector<std::string>& values : factor.values) {
      hash.AddNumber(values.size());
      for (const std::string& value : values) hash.Add(value);
    }
    hash.AddNumber(factor.cells.size());
    for (std::uint32_t cell : factor.cells) hash.AddNumber(cell);
    hash.AddNumber(factor.rangeOf.size());
    for (std::uint32_t range : factor.rangeOf) hash.AddNumber(range);
  }
  for (InputId id : AllInputs()) hash.Add(settings.base.texts[id]);
  for (const DesignField& field : DesignFields()) {
    const std::optional<std::string>& text = settings.base.design[field.id];
    hash.AddNumber(text.has_value());
    if (text) hash.Add(*text);
  }
  ModelExtras extras;  // the base event; a swept one is in the factors' values
  try {
    extras = ReadModelExtras(settings.base.events);
  } catch (const RunError&) {
  }
  AddExtras(hash, extras);
  hash.AddOptional(settings.limits.forebayMaxLevel);
  hash.AddOptional(settings.limits.forebayMinLevel);
  return hash.Hex();
}

std::string StudyPartLine(const StudyPart& part) {
  return std::string(kPartPrefix) + "plan=" + part.plan +
         " shard=" + std::to_string(part.shardIndex) + "/" + std::to_string(part.shardCount) +
         " rows=" + std::to_string(part.rows) + "/" + std::to_string(part.total) + "\n";
}

std::optional<StudyPart> ParseStudyPartLine(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (!line.starts_with(kPartPrefix)) return std::nullopt;
  line.remove_prefix(kPartPrefix.size());
  StudyPart part;
  const std::string_view keys[3] = {"plan=", " shard=", " rows="};
  std::string_view fields[3];
  for (int k = 0; k < 3; ++k) {
    if (!line.starts_with(keys[k])) return std::nullopt;
    line.remove_prefix(keys[k].size());
    const std::size_t end = k == 2 ? line.size() : line.find(' ');
    if (end == std::string_view::npos) return std::nullopt;
    fields[k] = line.substr(0, end);
    line.remove_prefix(end);
  }
  part.plan = fields[0];
  if (part.plan.size() != 16 ||
      part.plan.find_first_not_of("0123456789abcdef") != std::string::npos ||
      !ReadPair(fields[1], part.shardIndex, part.shardCount) ||
      !ReadPair(fields[2], part.rows, part.total) || part.shardCount < 1 || part.shardIndex < 0 ||
      part.shardIndex >= part.shardCount || part.rows < 0 || part.rows > part.total) {
    return std::nullopt;
  }
  return part;
}

std::optional<StudyPart> ReadStudyPart(std::FILE* in) {
  // The line is short: the file's last 256 bytes hold it. Offsets of 64 bits:
  // a part file may pass 2 GiB, where a long has 32 bits.
#ifdef _WIN32
  const auto seek = [in](std::int64_t at, int whence) { return ::_fseeki64(in, at, whence); };
  const auto tell = [in] { return std::int64_t{::_ftelli64(in)}; };
#else
  const auto seek = [in](std::int64_t at, int whence) { return ::fseeko(in, at, whence); };
  const auto tell = [in] { return std::int64_t{::ftello(in)}; };
#endif
  if (seek(0, SEEK_END) != 0) return std::nullopt;
  const std::int64_t size = tell();
  if (size < 0) return std::nullopt;
  const std::int64_t from = size > 256 ? size - 256 : 0;
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  const bool read =
      seek(from, SEEK_SET) == 0 && std::fread(tail.data(), 1, tail.size(), in) == tail.size();
  seek(0, SEEK_SET);
  if (!read || !tail.ends_with('\n')) return std::nullopt;
  const std::size_t start = tail.rfind('\n', tail.size() - 2);
  if (start == std::string::npos && from > 0) return std::nullopt;
  return ParseStudyPartLine(
      std::string_view(tail).substr(start == std::string::npos ? 0 : start + 1));
}

CaseResult StoredCaseResult(const StudyPlan& plan, const StoredRow& row) {
  CaseResult result;
  result.number = row.number;
  plan.CaseValues(row.number, result.values);
  result.status = row.status;
  if (row.status == 0 && !row.passed) result.passMax = false;
  if (row.highest && row.lowest) {
    result.extremes.emplace();
    result.extremes->forebayHighest.value = *row.highest;
    result.extremes->forebayLowest.value = *row.lowest;
  }
  return result;
}

StudyCsvReader::StudyCsvReader(std::FILE* in, const std::string& header) : in_(in) {
  std::string line;
  if (!ReadLine(line) || line != header) {
    throw StudyInputError("首行不是本研究的表头（列与本命令的不同）", 1);
  }
  const std::vector<std::string_view> names =
      Cells(std::string_view(line).substr(0, line.size() - 1));
  cells_ = names.size();
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (names[c] == "status") status_ = c;
    if (names[c] == "forebay_highest_m") highest_ = c;
    if (names[c] == "forebay_lowest_m") lowest_ = c;
    if (names[c].starts_with("pass_")) passes_.push_back(c);
  }
}

bool StudyCsvReader::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    if (at_ == end_) {
      at_ = 0;
      end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
      if (end_ == 0) {
        if (std::ferror(in_)) throw StudyInputError("读取出错", line_ + 1);
        if (line.empty()) return false;
        throw StudyInputError("末行没有换行（文件不完整）", line_ + 1);
      }
    }
    const char* from = buffer_.data() + at_;
    const void* newline = std::memchr(from, '\n', end_ - at_);
    const std::size_t take = newline ? static_cast<const char*>(newline) - from + 1 : end_ - at_;
    line.append(from, take);
    at_ += take;
    if (newline) {
      ++line_;
      return true;
    }
  }
}

bool StudyCsvReader::Next(StoredRow& row) {
  if (ended_) return false;
  std::string& bytes = row.bytes;
  std::string more;
  if (!ReadLine(bytes) || bytes.starts_with(kPartPrefix)) {
    ended_ = true;
    return false;
  }
  const int first = line_;
  // A quoted cell may hold line breaks: the record ends where the quotes do.
  while (std::count(bytes.begin(), bytes.end(), '"') % 2 != 0) {
    if (!ReadLine(more)) throw StudyInputError("引号不配对", first);
    bytes += more;
  }
  const std::vector<std::string_view> cells =
      Cells(std::string_view(bytes).substr(0, bytes.size() - 1));
  if (cells.size() != cells_ || !ReadWhole(cells[0], row.number) || row.number < 1 ||
      !ReadWhole(cells[status_], row.status)) {
    throw StudyInputError("不是本研究的一行", first);
  }
  row.passed = row.status == 0;
  for (std::size_t c : passes_) row.passed = row.passed && cells[c] != "0";
  row.highest.reset();
  row.lowest.reset();
  float value = 0;
  if (ReadWhole(cells[highest_], value)) row.highest = value;
  if (ReadWhole(cells[lowest_], value)) row.lowest = value;
  return true;
}

}  // namespace kelvane
