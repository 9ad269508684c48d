// The study session: resuming, joining, running, and the rows' two files.
#include "study/study_session.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "files/file_reader.h"
#include "files/file_target.h"
#include "files/write_output.h"
#include "study/study_parts.h"

namespace kelvane {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A fault of a file the study reads, on its way to the outcome.
struct PartError {
  std::string message;
};

[[noreturn]] void BadPart(const std::string& file, const std::string& why, int line = 0) {
  throw PartError{"“" + file + "”" + (line > 0 ? " 第 " + std::to_string(line) + " 行" : "") +
                  "：" + why};
}

// A part of another study: refused, and when its header is not this
// study's, said so (a part an earlier version wrote has fewer columns; its
// rows are never read as this study's). The file is left at its start.
[[noreturn]] void OtherStudy(const std::string& file, std::FILE* in, const std::string& header) {
  std::string first;
  for (int c; (c = std::fgetc(in)) != EOF;) {
    first += char(c);
    if (c == '\n' || first.size() > header.size()) break;
  }
  std::rewind(in);
  if (first.ends_with("\r\n")) first.erase(first.size() - 2, 1);
  if (first != header) {
    BadPart(file,
            "首行的列与本研究的不同（由较早的版本写出，或属于另一个研究），不能接续；"
            "请重新计算");
  }
  BadPart(file, "属于另一个研究（扫描、输入、设计资料、限值或列与本命令的不同）");
}

// The rows of a study stopped by a signal: thrown out of the CSV's body so
// that its temporary file goes.
struct Stopped {};

std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

File OpenFile(const std::string& name, const char* mode) {
#ifdef _WIN32
  const std::wstring wide(mode, mode + std::char_traits<char>::length(mode));
  return File(::_wfopen(PathOf(name).c_str(), wide.c_str()), std::fclose);
#else
  return File(std::fopen(name.c_str(), mode), std::fclose);
#endif
}

// A file opened for reading: a folder opens, and fails only when read.
File OpenForReading(const std::string& name) {
  File file(OpenFileForReading(name), std::fclose);
  if (!file) BadPart(name, FileReadError(name, errno).Reason());
  std::error_code ignored;
  if (std::filesystem::is_directory(PathOf(name), ignored)) {
    BadPart(name, FileReadError(name, EISDIR).Reason());
  }
  return file;
}

// Whether the rows to `csv` are also kept in CSV.partial as they come: a
// file, not standard output, a descriptor, a device or a pipe.
bool KeepsPartial(const std::string& csv) {
  OutputTarget target;
  if (csv.empty() || csv == "-" || !ResolveOutputTarget(csv, target) || target.descriptor >= 0) {
    return false;
  }
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(target.path), error);
  return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

// FILE.partial written as the rows come: each block of rows followed by the
// part line that vouches for them, at least once a second from its own
// thread, so that a kill loses at most the last second's rows.
class PartialFile {
 public:
  PartialFile(std::string name, StudyPart part) : name_(std::move(name)), part_(std::move(part)) {}
  ~PartialFile() { StopFlushing(); }

  const std::string& Name() const { return name_; }
  bool Open() const { return file_ != nullptr; }

  // A new file of that name, its header first.
  void Create(std::string_view header) {
    file_ = OpenFile(name_, "wb");
    if (!file_) throw FileError(errno, name_, FileAction::Create, Stage::Report);
    std::lock_guard lock(mutex_);
    buffer_ = header;
    flushed_ = -1;  // a part line even for no rows
    WriteBuffer();
    StartFlushing();
  }
  // The file resumed, cut after its last part line (which holds `rows`
  // rows of checksum `sum`), to go on from there.
  void Continue(std::int64_t end, std::int64_t rows, const StudyRowsSum& sum) {
    file_ = OpenFile(name_, "r+b");
    if (!file_) throw FileError(errno, name_, FileAction::Open, Stage::Report);
#ifdef _WIN32
    const bool cut = ::_chsize_s(::_fileno(file_.get()), end) == 0;
#else
    const bool cut = ::ftruncate(::fileno(file_.get()), static_cast<off_t>(end)) == 0;
#endif
    if (!cut || std::fseek(file_.get(), 0, SEEK_END) != 0) {
      throw FileError(errno, name_, FileAction::Write, Stage::Report);
    }
    part_.rows = flushed_ = rows;
    sum_ = sum;
    StartFlushing();
  }
  void Row(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    Rethrow();
    buffer_ += bytes;
    sum_.Add(bytes);
    ++part_.rows;
    if (buffer_.size() >= kLargeBlock) WriteBlock();
  }
  // What is held goes out now, with its part line.
  void Flush() {
    std::lock_guard lock(mutex_);
    Rethrow();
    WriteBlock();
    Rethrow();
  }
  void StopFlushing() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable()) flusher_.join();
  }
  void Remove() {
    StopFlushing();
    file_.reset();
    std::error_code ignored;
    std::filesystem::remove(PathOf(name_), ignored);
  }

 private:
  static constexpr std::size_t kLargeBlock = std::size_t{1} << 16;

  void StartFlushing() {
    flusher_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      while (!stopping_) {
        wake_.wait_for(lock, std::chrono::seconds(1));
        if (!stopping_) WriteBlock();
      }
    });
  }
  // Under the lock.
  void WriteBlock() {
    if (error_ || !file_ || part_.rows == flushed_) return;
    part_.sum = sum_.Hex();
    buffer_ += StudyPartLine(part_);
    flushed_ = part_.rows;
    WriteBuffer();
  }
  void WriteBuffer() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size() ||
        std::fflush(file_.get()) != 0) {
      error_ = FileError(errno, name_, FileAction::Write, Stage::Report);
    }
    buffer_.clear();
  }
  void Rethrow() const {
    if (error_) throw *error_;
  }

  std::string name_;
  StudyPart part_;
  File file_{nullptr, std::fclose};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread flusher_;
  bool stopping_ = false;
  std::string buffer_;
  StudyRowsSum sum_;
  std::int64_t flushed_ = 0;  // rows vouched for in the file; -1 before its first part line
  std::optional<RunError> error_;
};

// The partial file of `csv` (of no rows yet), when it keeps one.
std::unique_ptr<PartialFile> PartialFor(const std::string& csv, const StudyPart& part) {
  if (!KeepsPartial(csv)) return nullptr;
  return std::make_unique<PartialFile>(csv + ".partial", part);
}

// Where the rows go: the CSV, the partial file, the tally, the chart, the
// warnings and the report. A fault writing the rows is kept (the first
// one) and the rows go on everywhere else.
class RowOut {
 public:
  struct Sinks {
    StudyTally& tally;
    SweepChartPoints* chart;
    StudyWarnings* warnings;  // the computed cases' warnings; none for stored rows
    StudyDocument* document;
    const std::function<void(std::int64_t)>& done;
  };
  RowOut(const StudyPlan& plan, const StudyLimits& limits, Sinks sinks, const ByteWriter* write,
         PartialFile* partial)
      : plan_(plan), limits_(limits), sinks_(sinks), write_(write), partial_(partial) {}

  void Computed(const CaseResult& result) {
    row_.clear();
    AppendStudyCsvRow(plan_, limits_, result, row_);
    Emit(row_, true);
    if (sinks_.warnings) sinks_.warnings->Add(result);
    if (sinks_.document) sinks_.document->Add(result);
    Count(result);
  }
  // `inPartial`: the partial file being written takes the row too.
  void Stored(const StoredRow& row, bool inPartial) {
    Emit(row.bytes, inPartial);
    if (sinks_.document) {
      sinks_.document->AddCells(
          StudyCsvRecordCells(std::string_view(row.bytes).substr(0, row.bytes.size() - 1)));
    }
    Count(StoredCaseResult(plan_, row));
  }
  void Text(std::string_view text) {
    Guard([&] { rows_ += text; });
  }
  // A step of the rows' files whose fault is kept as a write's.
  template <class Step>
  void Guard(const Step& step) {
    if (fault_) return;
    try {
      step();
    } catch (...) {
      fault_ = CurrentExceptionAsRunError(Stage::Report);
    }
  }
  void Flush() {
    Guard([&] {
      if (write_ && !rows_.empty()) (*write_)(rows_);
      rows_.clear();
      if (partial_ && partial_->Open()) partial_->Flush();
    });
  }
  const std::optional<RunError>& Fault() const { return fault_; }
  const StudyRowsSum& Sum() const { return sum_; }

 private:
  void Emit(std::string_view bytes, bool inPartial) {
    sum_.Add(bytes);
    Guard([&] {
      if (write_) rows_ += bytes;
      if (inPartial && partial_ && partial_->Open()) partial_->Row(bytes);
      // Standard output gets each row as it comes.
      if (write_ && rows_.size() >= kBlock) {
        (*write_)(rows_);
        rows_.clear();
      }
    });
  }
  void Count(const CaseResult& result) {
    sinks_.tally.Add(result);
    if (sinks_.chart) sinks_.chart->Add(result);
    if (sinks_.done) sinks_.done(++done_);
  }
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  const StudyPlan& plan_;
  const StudyLimits& limits_;
  Sinks sinks_;
  const ByteWriter* write_;
  PartialFile* partial_;
  std::optional<RunError> fault_;
  StudyRowsSum sum_;  // of every row handed on
  std::string rows_, row_;
  std::int64_t done_ = 0;
};

// Runs `body` with the CSV's writer (none when there is no CSV). A CSV that
// cannot be opened leaves the body to run without it; a fault kept by the
// body goes out of it, so that the CSV's temporary file goes too.
std::optional<RunError> WithCsv(const std::string& csv,
                                const std::function<void(const ByteWriter*)>& body) {
  if (csv.empty()) {
    body(nullptr);
    return std::nullopt;
  }
  bool ran = false;
  try {
    WriteOutput(csv, [&](const ByteWriter& write) {
      ran = true;
      body(&write);
    });
  } catch (const RunError& error) {
    if (!ran) {
      try {
        body(nullptr);
      } catch (const Stopped&) {
        // The caller tells a stop by the rows done; the CSV's fault stays.
      }
    }
    return error;
  }
  return std::nullopt;
}

// Writes `text` to a file beside the CSV; the fault, if any.
std::optional<RunError> WriteBeside(const std::string& name, const std::string& text) {
  try {
    WriteOutput(name, text);
  } catch (...) {
    return CurrentExceptionAsRunError(Stage::Report);
  }
  return std::nullopt;
}

}  // namespace

int UsableCores() {
#ifndef _WIN32
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

// The partial file being resumed: its last part line, where that line ends.
struct StudySession::Resumed {
  std::string name;
  File file{nullptr, std::fclose};
  FoundPart last;
};

StudySession::StudySession(const StudyPlan& plan, const StudySettings& settings, StudyFiles files)
    : plan_(plan),
      settings_(settings),
      base_(PrepareCase(settings.base)),
      checks_(StudyChecks(plan, base_)),
      files_(std::move(files)),
      fingerprint_(StudyFingerprint(plan, settings, base_)),
      header_(StudyCsvHeader(plan, settings.limits, checks_, StudyNamesEvent(plan, settings))),
      tally_(plan, settings.limits, checks_),
      warnings_(plan, settings_),
      chartPoints_(plan),
      document_(plan, settings_, base_) {
  if (settings_.jobs <= 0) settings_.jobs = UsableCores();
}

std::int64_t StudySession::Total() const {
  if (!files_.joinShards.empty()) return plan_.CaseCount();
  return ShardCaseCount(plan_.CaseCount(), settings_.shardIndex, settings_.shardCount);
}

std::optional<StudyRefusal> StudySession::Open() {
  if (files_.resume.empty()) return std::nullopt;
  try {
    auto resumed = std::make_shared<Resumed>();
    resumed->name = files_.resume;
    resumed->file = OpenForReading(files_.resume);
    const std::optional<FoundPart> found = FindLastStudyPart(resumed->file.get());
    if (!found) BadPart(files_.resume, "不是中断留下的部分文件（应有 #kelvane-study 行）");
    const StudyPart& part = found->part;
    if (part.plan != fingerprint_) OtherStudy(files_.resume, resumed->file.get(), header_);
    if (part.shardIndex != settings_.shardIndex || part.shardCount != settings_.shardCount) {
      BadPart(files_.resume, "是分片 " + std::to_string(part.shardIndex) + "/" +
                                 std::to_string(part.shardCount) + " 的部分文件，与本命令的不同");
    }
    if (part.total != Total()) BadPart(files_.resume, "不是本研究中断留下的部分文件");
    resumed->last = *found;
    settings_.skip = part.rows;
    resumed_ = std::move(resumed);
  } catch (const PartError& error) {
    return StudyRefusal{error.message};
  }
  return std::nullopt;
}

std::optional<StudyEstimate> StudySession::Estimate(std::int64_t large) const {
  const std::int64_t left = Total() - settings_.skip;
  if (!files_.joinShards.empty() || left <= large) return std::nullopt;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  StudyEstimate estimate{.left = left};
  constexpr int kMostTimed = 4096;
  while (estimate.timed < kMostTimed && Clock::now() - start < std::chrono::milliseconds(200)) {
    // Cases spread over the study: its first ones may all fail at once.
    const std::int64_t position = settings_.skip + (left / kMostTimed) * estimate.timed;
    RunCase(plan_, settings_, base_,
            ShardCaseNumber(position, settings_.shardIndex, settings_.shardCount));
    ++estimate.timed;
  }
  estimate.perCase = std::chrono::duration<double>(Clock::now() - start).count() / estimate.timed;
  return estimate;
}

StudyOutcome StudySession::Run(const std::function<void(std::int64_t)>& done) {
  try {
    return files_.joinShards.empty() ? RunCases(done) : JoinShards(done);
  } catch (const PartError& error) {
    StudyOutcome outcome;
    outcome.refusal = StudyRefusal{error.message};
    return outcome;
  }
}

namespace {

// The rows of the partial file being resumed, each checked against itself
// and each block against its part line, passed on; rows after the last part
// line (cut off by a kill) are not. The checksum of the rows passed on.
StudyRowsSum CopyPartialRows(std::FILE* in, const std::string& name, const FoundPart& last,
                             const StudySettings& settings, const std::string& header,
                             const std::function<void(const StoredRow&)>& out) {
  StudyRowsSum sum;
  try {
    StudyCsvReader reader(in, header, settings.limits);
    StoredRow row;
    std::int64_t position = 0;
    for (;;) {
      if (!reader.Next(row)) {
        const std::optional<StudyPart>& part = reader.Part();
        if (!part) BadPart(name, "行数少于末行所记", reader.Line() + 1);
        StudyPart expected = last.part;
        expected.rows = position;
        expected.sum = sum.Hex();
        if (*part != expected)
          BadPart(name, "此前的行与本行所记不符（文件被改动过）", reader.Line());
        if (position == last.part.rows) break;
        continue;
      }
      if (position == last.part.rows) BadPart(name, "行数多于末行所记", reader.Line());
      if (row.number != ShardCaseNumber(position, settings.shardIndex, settings.shardCount)) {
        BadPart(name, "案例号不是依次的", reader.Line());
      }
      sum.Add(row.bytes);
      out(row);
      ++position;
    }
  } catch (const StudyInputError& error) {
    BadPart(name, error.what(), error.line());
  }
  return sum;
}

}  // namespace

StudyOutcome StudySession::RunCases(const std::function<void(std::int64_t)>& done) {
  StudyOutcome outcome;
  const std::int64_t total = Total();
  StudyPart part{fingerprint_, settings_.shardIndex, settings_.shardCount, 0, total, ""};
  const std::unique_ptr<PartialFile> partial = PartialFor(files_.csv, part);
  // A partial file resumed under the name the new one takes is gone on from.
  std::error_code ignored;
  const bool inPlace =
      resumed_ && partial &&
      std::filesystem::equivalent(PathOf(resumed_->name), PathOf(partial->Name()), ignored);
  RowOut::Sinks sinks{tally_, files_.chart || files_.document ? &chartPoints_ : nullptr, &warnings_,
                      files_.document ? &document_ : nullptr, done};
  StudyRowsSum rowsSum;
  auto body = [&](const ByteWriter* write) {
    PartialFile* kept = write ? partial.get() : nullptr;
    RowOut out(plan_, settings_.limits, sinks, write, kept);
    out.Text(header_);
    if (resumed_) {
      if (kept && !inPlace) out.Guard([&] { kept->Create(header_); });
      const StudyRowsSum sum =
          CopyPartialRows(resumed_->file.get(), resumed_->name, resumed_->last, settings_, header_,
                          [&](const StoredRow& row) { out.Stored(row, !inPlace); });
      // Closed before the partial file of that name is written again.
      resumed_->file.reset();
      if (kept && inPlace) {
        out.Guard([&] { kept->Continue(resumed_->last.end, resumed_->last.part.rows, sum); });
      }
    } else if (kept) {
      out.Guard([&] { kept->Create(header_); });
    }
    outcome.rows =
        RunStudy(plan_, settings_, base_, [&](const CaseResult& result) { out.Computed(result); });
    out.Flush();
    rowsSum = out.Sum();
    if (out.Fault()) throw *out.Fault();
    if (outcome.rows < total) throw Stopped{};
  };
  try {
    outcome.csvError = WithCsv(files_.csv, body);
  } catch (const Stopped&) {
  }
  if (partial) partial->StopFlushing();
  if (outcome.rows < total) {
    outcome.signal = settings_.stop ? settings_.stop->load() : 0;
    if (partial && partial->Open()) outcome.kept = partial->Name();
    return outcome;
  }
  // The partial file keeps what was done when the CSV could not be written.
  if (outcome.csvError) return outcome;
  if (partial) partial->Remove();
  // The finished file replaces the partial one it was resumed from.
  if (resumed_ && !inPlace) std::filesystem::remove(PathOf(resumed_->name), ignored);
  if (files_.manifest && files_.csv != "-") {
    part.rows = total;
    part.sum = rowsSum.Hex();
    outcome.csvError = WriteBeside(StudyManifestName(files_.csv), StudyManifestText(part));
  }
  return outcome;
}

namespace {

// A shard given to --join-shards: the CSV open and its manifest read.
struct Shard {
  std::string name;
  File file{nullptr, std::fclose};
  StudyPart part;
};

Shard OpenShard(const std::string& name, const std::string& fingerprint,
                const std::string& header) {
  Shard shard{name, OpenForReading(name), {}};
  const std::string manifest = StudyManifestName(name);
  File in = OpenFile(manifest, "rb");
  if (!in) {
    // An interrupted study's file names the rows it holds.
    if (const std::optional<FoundPart> found = FindLastStudyPart(shard.file.get())) {
      BadPart(name, "是中断的部分文件（" + std::to_string(found->part.rows) + "/" +
                        std::to_string(found->part.total) + " 行）：先用 --resume 完成它");
    }
    BadPart(name, "不是分片的 CSV（旁边没有 --shard 写的 “" + manifest + "”）");
  }
  char text[512];
  const std::size_t size = std::fread(text, 1, sizeof text, in.get());
  const std::optional<StudyPart> part = ParseStudyManifest(std::string_view(text, size));
  if (!part || !part->Complete()) BadPart(manifest, "不是 --shard 写的清单");
  if (part->plan != fingerprint) OtherStudy(name, shard.file.get(), header);
  shard.part = *part;
  return shard;
}

// The shards, each once, all of one division, none missing; in shard order.
void CheckShards(std::vector<Shard>& shards) {
  for (std::size_t k = 0; k < shards.size(); ++k) {
    const StudyPart& part = shards[k].part;
    if (part.shardCount != shards.front().part.shardCount) {
      BadPart(shards[k].name, "分自 " + std::to_string(part.shardCount) + " 片，而 “" +
                                  shards.front().name + "” 分自 " +
                                  std::to_string(shards.front().part.shardCount) + " 片");
    }
    for (std::size_t j = 0; j < k; ++j) {
      if (shards[j].part.shardIndex == part.shardIndex) {
        BadPart(shards[k].name, "与 “" + shards[j].name + "” 是同一个分片 " +
                                    std::to_string(part.shardIndex) + "/" +
                                    std::to_string(part.shardCount));
      }
    }
  }
  const std::int64_t count = shards.front().part.shardCount;
  if (static_cast<std::int64_t>(shards.size()) < count) {
    std::string missing;
    int listed = 0;
    for (std::int64_t k = 0; k < count && listed < 8; ++k) {
      if (std::none_of(shards.begin(), shards.end(),
                       [&](const Shard& s) { return s.part.shardIndex == k; })) {
        missing += (listed++ ? "、" : "") + std::to_string(k) + "/" + std::to_string(count);
      }
    }
    throw PartError{"--join-shards 缺少分片 " + missing + (listed == 8 ? " 等" : "") + "（共 " +
                    std::to_string(count) + " 片，给了 " + std::to_string(shards.size()) + " 片）"};
  }
  std::sort(shards.begin(), shards.end(),
            [](const Shard& a, const Shard& b) { return a.part.shardIndex < b.part.shardIndex; });
}

// The shards' rows side by side, in case order, each checked against itself,
// its number and, at the shard's end, the manifest's count and checksum.
void JoinRows(std::vector<Shard>& shards, std::int64_t cases, const std::string& header,
              const StudyLimits& limits, const std::function<void(const StoredRow&)>& out) {
  const std::size_t count = shards.size();
  std::vector<std::unique_ptr<StudyCsvReader>> readers;
  std::vector<StudyRowsSum> sums(count);
  for (Shard& shard : shards) {
    try {
      readers.push_back(std::make_unique<StudyCsvReader>(shard.file.get(), header, limits));
    } catch (const StudyInputError& error) {
      BadPart(shard.name, error.what(), error.line());
    }
  }
  StoredRow row;
  for (std::int64_t n = 1; n <= cases + static_cast<std::int64_t>(count); ++n) {
    const std::size_t k = static_cast<std::size_t>(n % static_cast<std::int64_t>(count));
    StudyCsvReader& reader = *readers[k];
    const std::string& name = shards[k].name;
    try {
      const bool more = reader.Next(row);
      if (n > cases) {
        if (more || reader.Part()) BadPart(name, "行数多于本分片的案例", reader.Line());
        if (sums[k].Hex() != shards[k].part.sum) {
          BadPart(name, "行与 “" + StudyManifestName(name) + "” 所记的校验和不符（文件被改动过）");
        }
        continue;
      }
      if (!more) BadPart(name, "缺少案例 " + std::to_string(n), reader.Line() + 1);
      if (row.number != n) BadPart(name, "案例号应为 " + std::to_string(n), reader.Line());
    } catch (const StudyInputError& error) {
      BadPart(name, error.what(), error.line());
    }
    sums[k].Add(row.bytes);
    out(row);
  }
}

}  // namespace

StudyOutcome StudySession::JoinShards(const std::function<void(std::int64_t)>& done) {
  std::vector<Shard> shards;
  for (const std::string& name : files_.joinShards)
    shards.push_back(OpenShard(name, fingerprint_, header_));
  CheckShards(shards);
  StudyOutcome outcome;
  RowOut::Sinks sinks{tally_, files_.chart || files_.document ? &chartPoints_ : nullptr, nullptr,
                      files_.document ? &document_ : nullptr, done};
  outcome.csvError = WithCsv(files_.csv, [&](const ByteWriter* write) {
    RowOut out(plan_, settings_.limits, sinks, write, nullptr);
    out.Text(header_);
    JoinRows(shards, plan_.CaseCount(), header_, settings_.limits,
             [&](const StoredRow& row) { out.Stored(row, false); });
    out.Flush();
    if (out.Fault()) throw *out.Fault();
  });
  outcome.rows = plan_.CaseCount();
  return outcome;
}

}  // namespace kelvane
