// The parts of a study's CSV: the fingerprint of its plan, the line that
// ends a part, and the rows read back.
#include "study/study_parts.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "csv/csv_reader.h"

namespace kelvane {
namespace {

// The same checksum over pieces, each preceded by its length so that no two
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
  std::string Hex() const { return sum_.Hex(); }

 private:
  void Byte(unsigned char c) {
    const char byte = static_cast<char>(c);
    sum_.Add(std::string_view(&byte, 1));
  }
  StudyRowsSum sum_;
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
  // Only a model other than the classic one enters, so the parts of a study
  // written before the model could be chosen still join.
  if (extras.model != MarchModel::Classic) hash.AddNumber(static_cast<std::uint64_t>(extras.model));
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
constexpr std::string_view kManifestPrefix = "kelvane-shard ";

std::string PartText(std::string_view prefix, const StudyPart& part) {
  return std::string(prefix) + "plan=" + part.plan + " shard=" + std::to_string(part.shardIndex) +
         "/" + std::to_string(part.shardCount) + " rows=" + std::to_string(part.rows) + "/" +
         std::to_string(part.total) + " sum=" + part.sum + "\n";
}

bool IsHex16(std::string_view text) {
  return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::optional<StudyPart> ParsePart(std::string_view prefix, std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (!line.starts_with(prefix)) return std::nullopt;
  line.remove_prefix(prefix.size());
  const std::string_view keys[4] = {"plan=", " shard=", " rows=", " sum="};
  std::string_view fields[4];
  for (int k = 0; k < 4; ++k) {
    if (!line.starts_with(keys[k])) return std::nullopt;
    line.remove_prefix(keys[k].size());
    const std::size_t end = k == 3 ? line.size() : line.find(' ');
    if (end == std::string_view::npos) return std::nullopt;
    fields[k] = line.substr(0, end);
    line.remove_prefix(end);
  }
  StudyPart part;
  part.plan = fields[0];
  part.sum = fields[3];
  if (!IsHex16(part.plan) || !IsHex16(part.sum) ||
      !ReadPair(fields[1], part.shardIndex, part.shardCount) ||
      !ReadPair(fields[2], part.rows, part.total) || part.shardCount < 1 || part.shardIndex < 0 ||
      part.shardIndex >= part.shardCount || part.rows < 0 || part.rows > part.total) {
    return std::nullopt;
  }
  return part;
}

// The cells of one record (without its last line end) as the CSV reader reads
// them: a quoted cell may hold commas, line breaks and doubled quotes. False
// for a record that is not CSV.
bool RecordCells(CsvLineReader& reader, std::string_view record, std::vector<std::string>& cells) {
  return reader.Cells(record, ',', cells) == CsvFault::None;
}

}  // namespace

std::vector<std::string> StudyCsvRecordCells(std::string_view record) {
  CsvLineReader reader;
  std::vector<std::string> cells;
  if (!RecordCells(reader, record, cells)) throw StudyInputError("不是本研究的一行");
  return cells;
}

std::string StudyFingerprint(const StudyPlan& plan, const StudySettings& settings,
                             const PreparedCase& base) {
  Hash hash;
  hash.Add(StudyCsvHeader(plan, settings.limits, StudyChecks(plan, base),
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
    // Only a table that names its cases adds to the fingerprint: that of
    // every other study stays as it was.
    if (!factor.names.empty()) {
      hash.Add(factor.asBase ? "operating cases" : "name");
      for (const std::string& name : factor.names) hash.Add(name);
    }
  }
  for (InputId id : AllInputs()) hash.Add(settings.base.texts[id]);
  for (const DesignField& field : DesignFields()) {
    const std::optional<std::string>& text = settings.base.design[field.id];
    // The site's items came later than the fingerprint: they count only
    // when given, so that a study without them keeps its fingerprint.
    if (!text && (field.id == DesignId::SiteElevation || field.id == DesignId::WaterTemperature))
      continue;
    hash.AddNumber(text.has_value());
    if (text) hash.Add(*text);
  }
  // The base event (none when it cannot be read); a swept one is in the
  // factors' values.
  AddExtras(hash, base.extras);
  hash.AddOptional(settings.limits.forebayMaxLevel);
  hash.AddOptional(settings.limits.forebayMinLevel);
  return hash.Hex();
}

void StudyRowsSum::Add(std::string_view row) {
  for (unsigned char c : row) {
    state_ ^= c;
    state_ *= 0x100000001b3ULL;
  }
}

std::string StudyRowsSum::Hex() const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int k = 0; k < 16; ++k) text[15 - k] = kDigits[(state_ >> (4 * k)) & 15];
  return text;
}

std::string StudyPartLine(const StudyPart& part) { return PartText(kPartPrefix, part); }

std::optional<StudyPart> ParseStudyPartLine(std::string_view line) {
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  return ParsePart(kPartPrefix, line);
}

std::string StudyManifestText(const StudyPart& part) { return PartText(kManifestPrefix, part); }

std::optional<StudyPart> ParseStudyManifest(std::string_view text) {
  if (text.ends_with("\r\n")) text.remove_suffix(2);
  if (!text.ends_with('\n')) return std::nullopt;  // cut short
  return ParsePart(kManifestPrefix, text);
}

std::string StudyManifestName(const std::string& csv) { return csv + ".manifest"; }

std::optional<FoundPart> FindLastStudyPart(std::FILE* in) {
  std::optional<FoundPart> found;
  std::vector<char> buffer(std::size_t{1} << 16);
  std::string line;  // a line that may be a part line, up to its LF
  bool candidate = true;
  std::int64_t at = 0;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
    for (std::size_t i = 0; i < n; ++i, ++at) {
      const char c = buffer[i];
      // A part line is short: a longer line is a row.
      if (candidate && line.size() < 256) line += c;
      if (line.size() == 1 && c != '#') candidate = false;
      if (c != '\n') continue;
      if (candidate) {
        if (std::optional<StudyPart> part = ParseStudyPartLine(line)) found = {*part, at + 1};
      }
      line.clear();
      candidate = true;
    }
  }
  std::rewind(in);
  return found;
}

CaseResult StoredCaseResult(const StudyPlan& plan, const StoredRow& row) {
  CaseResult result;
  result.number = row.number;
  plan.CaseValues(row.number, result.values);
  result.status = row.status;
  result.passMax = row.passMax;
  result.passMin = row.passMin;
  result.verdictMax = row.verdictMax;
  result.verdictMin = row.verdictMin;
  result.checks = row.checks;
  if (row.highest && row.lowest) {
    result.extremes.emplace();
    result.extremes->forebayHighest.value = *row.highest;
    result.extremes->forebayLowest.value = *row.lowest;
  }
  return result;
}

StudyCsvReader::StudyCsvReader(std::FILE* in, const std::string& header, const StudyLimits& limits)
    : in_(in), csv_(std::make_unique<CsvLineReader>()), limits_(limits) {
  std::string line;
  std::vector<std::string> names;
  if (!ReadLine(line) || line != header ||
      !RecordCells(*csv_, std::string_view(line).substr(0, line.size() - 1), names)) {
    throw StudyInputError("首行不是本研究的表头（列与本命令的不同）", 1);
  }
  cells_ = names.size();
  for (std::size_t c = 0; c < names.size(); ++c) {
    const std::string_view name = names[c];
    if (name == "status") status_ = c;
    if (name == "error") error_ = c;
    if (name == "forebay_highest_m") highest_ = c;
    if (name == "forebay_lowest_m") lowest_ = c;
    // What a complete run alone gives: every cell after the error but the
    // warnings' count.
    if (error_ && c > *error_ && name != "warnings") values_.push_back(c);
  }
  // Each limit and check: its pass_ cell, the verdict_ and node cells of its
  // name.
  const auto cell = [&](const std::string& name) -> std::optional<std::size_t> {
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) return std::nullopt;
    return std::size_t(found - names.begin());
  };
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (!names[c].starts_with("pass_")) continue;
    const std::string key = names[c].substr(std::string_view("pass_").size());
    const std::optional<std::size_t> verdict = cell("verdict_" + key);
    if (!verdict) throw StudyInputError("表头的 " + names[c] + " 列旁没有 verdict_ 列", 1);
    Judged judged;
    judged.pass = c;
    judged.verdict = *verdict;
    judged.node = cell(key + "_first_failing_node");
    judged.atMost = key == "forebay_max_level";
    if (!judged.atMost && key != "forebay_min_level") {
      for (int k = 0; k < kCheckCount; ++k) {
        if (key == Field(CheckKind(k)).key) judged.kind = CheckKind(k);
      }
      if (!judged.kind) throw StudyInputError("表头的 " + names[c] + " 不是本研究的校核", 1);
    }
    judged_.push_back(judged);
  }
}

StudyCsvReader::~StudyCsvReader() = default;

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
      // A file saved again with CR LF line ends reads as it was written.
      if (line.ends_with("\r\n")) line.erase(line.size() - 2, 1);
      return true;
    }
  }
}

bool StudyCsvReader::Next(StoredRow& row) {
  if (ended_) return false;
  std::string& bytes = row.bytes;
  std::string more;
  part_.reset();
  if (!ReadLine(bytes)) {
    ended_ = true;
    return false;
  }
  if (bytes.starts_with(kPartPrefix)) {
    part_ = ParseStudyPartLine(bytes);
    if (!part_) throw StudyInputError("不是本研究的 #kelvane-study 行", line_);
    return false;
  }
  const int first = line_;
  // A quoted cell may hold line breaks: the record ends where the quotes do.
  while (std::count(bytes.begin(), bytes.end(), '"') % 2 != 0) {
    if (!ReadLine(more)) throw StudyInputError("引号不配对", first);
    bytes += more;
  }
  std::vector<std::string>& cells = row_;
  if (!RecordCells(*csv_, std::string_view(bytes).substr(0, bytes.size() - 1), cells) ||
      cells.size() != cells_ || !ReadWhole(cells[0], row.number) || row.number < 1 ||
      !ReadWhole(cells[status_], row.status)) {
    throw StudyInputError("不是本研究的一行", first);
  }
  CheckRow(cells, first);
  row.passed = row.status == 0;
  row.checks.clear();
  for (const Judged& judged : judged_) {
    std::optional<CheckVerdict> verdict;
    ReadVerdictCell(cells[judged.verdict], verdict);
    const std::optional<bool> pass = PassOf(verdict);
    // A limit or check passes only as 满足 (not 未定 or 无效, whose pass cell
    // is empty).
    row.passed = row.passed && cells[judged.pass] != "0" && (!verdict || pass == true);
    if (judged.kind) {
      CaseResult::Check& check = row.checks.emplace_back();
      check.kind = *judged.kind;
      check.pass = pass;
      check.verdict = verdict;
      if (judged.node) ReadWhole(cells[*judged.node], check.firstFailingNode);
    } else {
      (judged.atMost ? row.passMax : row.passMin) = pass;
      (judged.atMost ? row.verdictMax : row.verdictMin) = verdict;
    }
  }
  row.highest.reset();
  row.lowest.reset();
  float value = 0;
  if (ReadWhole(cells[highest_], value)) row.highest = value;
  if (ReadWhole(cells[lowest_], value)) row.lowest = value;
  return true;
}

void StudyCsvReader::CheckRow(const std::vector<std::string>& cells, int line) const {
  int status = 0;
  ReadWhole(cells[status_], status);
  const auto empty = [&](std::size_t c) { return cells[c].empty(); };
  if (error_ && (status != 0) == cells[*error_].empty()) {
    throw StudyInputError(status != 0 ? "失败的案例没有错误说明" : "status 为 0，却有错误说明",
                          line);
  }
  if (status != 0) {
    if (!std::all_of(values_.begin(), values_.end(), empty))
      throw StudyInputError("失败的案例（status " + std::to_string(status) + "）带有数值", line);
    return;
  }
  float highest = 0, lowest = 0;
  if (!ReadWhole(cells[highest_], highest) || !ReadWhole(cells[lowest_], lowest)) {
    throw StudyInputError("算完的案例缺少前池最高或最低水位", line);
  }
  for (const Judged& judged : judged_) {
    std::optional<CheckVerdict> verdict;
    const std::optional<bool> pass =
        cells[judged.pass].empty() ? std::nullopt : std::optional<bool>(cells[judged.pass] == "1");
    // The pass cell as the study writes it from the verdict: 1, 0, or empty
    // when undetermined, invalid or not checked.
    if (!ReadVerdictCell(cells[judged.verdict], verdict) ||
        (!cells[judged.pass].empty() && cells[judged.pass] != "1" && cells[judged.pass] != "0") ||
        pass != PassOf(verdict)) {
      throw StudyInputError("pass_ 列与其 verdict_ 列不符", line);
    }
    if (judged.node && pass == true && !cells[*judged.node].empty()) {
      throw StudyInputError("pass_ 列为 1，却有首个不满足的节点", line);
    }
    const std::optional<double>& limit =
        judged.atMost ? limits_.forebayMaxLevel : limits_.forebayMinLevel;
    if (judged.kind || !limit || !verdict || verdict == CheckVerdict::Invalid) continue;
    // A limit's verdict from its level: kept for 满足 and 未定 (the run ends
    // before the extreme), broken for 不满足.
    const bool kept = LevelWithin(judged.atMost ? highest : lowest, *limit, judged.atMost);
    if (kept != (verdict != CheckVerdict::Fail)) {
      throw StudyInputError("pass_ 列与其水位和限值不符", line);
    }
  }
}

}  // namespace kelvane
