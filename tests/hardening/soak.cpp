// Soak of the batch mode: many generated input sets (valid, borderline and
// hostile texts), each run as a process
//   kelvane --batch --<field> VALUE ... --output FILE
// and checked: exit 0 with nothing printed and a complete file (the bytes the
// library writes for the same texts, with the line count of the interval
// rule), or exit 1 with one catalogue error on two lines of standard error
// (for a fault of the run or of the file's text, the library's own text of
// it, place included) and no file; an existing file of that name untouched by a failed run and
// replaced whole by a good one; nothing else left in the folder.
//
//   kelvane-soak --kelvane PATH [--cases N] [--seed S] [--jobs J] [--timeout SECONDS]
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "files/output.h"
#include "model/model.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/run_checks.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using kelvane::checks::WithoutInputWarnings;

namespace {

// The error catalogue as the user reads it.
std::map<int, std::string> Catalogue() {
  std::map<int, std::string> catalogue;
  for (kelvane::ErrorCode code : kelvane::kAllErrorCodes)
    catalogue[static_cast<int>(code)] = kelvane::ErrorDescription(code);
  return catalogue;
}
const std::map<int, std::string> kCatalogue = Catalogue();

using kelvane::test::ReadFile;

// ---------------------------------------------------------------------------
// Generating input sets.

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : random_(seed) {}

  // Three kinds of case: valid (counts, interval and a mild change or two),
  // borderline (several fields changed, some to edge values) and hostile.
  kelvane::InputTexts Texts() {
    kelvane::InputTexts texts = kelvane::DefaultInputTexts();
    double kind = std::uniform_real_distribution<double>(0, 1)(random_);
    double perturb = kind < 0.45 ? 0.08 : kind < 0.85 ? 0.3 : 0.4;
    double hostile = kind < 0.45 ? 0.0 : kind < 0.85 ? 0.05 : 0.35;
    using kelvane::InputId;
    for (InputId box : kelvane::AllInputs()) {
      if (box == InputId::SegmentCount) {
        texts[box] = Count(50, 5);
      } else if (box == InputId::StepCount) {
        texts[box] = Count(2000, 1500);
      } else if (box == InputId::OutputInterval) {
        texts[box] = Interval();
      } else if (Chance(perturb)) {
        texts[box] = kind < 0.45 ? Mild(texts[box]) : Perturbed(texts[box]);
      } else if (Chance(hostile)) {
        texts[box] = Hostile();
      }
    }
    return texts;
  }

  std::mt19937_64& random() { return random_; }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Between(0, static_cast<int>(items.size()) - 1))];
  }

  std::string Bytes(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(Between(1, 255));  // no NUL in argv
    return text;
  }

 private:
  // Reach and step counts: mostly ones that run, some on the edges.
  std::string Count(int most, int typical) {
    if (Chance(0.15)) return Pick(kCountEdges);
    if (Chance(0.1)) return Hostile();
    int value = Chance(0.2) ? typical : Between(1, most);
    if (Chance(0.1)) return std::to_string(value) + ".5";
    if (Chance(0.05)) return " " + std::to_string(value) + " steps";
    return std::to_string(value);
  }

  std::string Interval() {
    if (Chance(0.3)) return Pick(kIntervalEdges);
    if (Chance(0.05)) return Hostile();
    return std::to_string(Between(1, 60));
  }

  // A number near the default, written as a user might.
  std::string Mild(const std::string& text) {
    double value = kelvane::ReadLeadingNumber(text);
    std::string number = Format(value * std::uniform_real_distribution<double>(0.5, 1.5)(random_));
    switch (Between(0, 3)) {
      case 0:
        return number + "m";
      case 1:
        return " " + number + " ";
      default:
        return number;
    }
  }

  // A number far from the default: zeroed, sign flipped, scaled by powers of
  // ten up to beyond the single range.
  std::string Perturbed(const std::string& text) {
    double value = kelvane::ReadLeadingNumber(text);
    switch (Between(0, 4)) {
      case 0:
        return "0";
      case 1:
        return Format(-value);
      case 2:
        return Format(value * std::pow(10.0, Between(-3, 3)));
      case 3:
        return Mild(text);
      default:
        return Format(value * std::pow(10.0, Between(-40, 40)));
    }
  }

  std::string Format(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, Chance(0.5) ? "%.7g" : "%.3e", value);
    return buffer;
  }

  std::string Hostile() {
    switch (Between(0, 4)) {
      case 0:
        return Bytes(Between(1, 40));
      case 1:
        return std::string(static_cast<std::size_t>(Between(100, 20000)), '9');
      case 2:
        return "0." + std::string(static_cast<std::size_t>(Between(300, 5000)), '0') + "1";
      default:
        return Pick(kHostile);
    }
  }

  std::mt19937_64 random_;
  const std::vector<std::string> kCountEdges = {
      "0", "-1", "",    "32767", "32766", "40000", "-32768", "-32769", "1e5", "abc",  "1",
      "2", "4",  "4.5", "5.5",   "1e400", "-0",    "&H10",   "1,5",    "2 0", "\t7\n"};
  const std::vector<std::string> kIntervalEdges = {
      "0",   "-1",    "-5",      "2.5",    "3.5",      "0.4",  "-0.5",  "",       "abc",
      "1e6", "32767", "32767.5", "-32768", "-32768.5", "5000", "1e400", "-1e400", "1e-300"};
  const std::vector<std::string> kHostile = {"",
                                             " ",
                                             "abc",
                                             "1e400",
                                             "-1e400",
                                             "1e39",
                                             "-1e39",
                                             "3.4028235e38",
                                             "3.5e38",
                                             "1e-45",
                                             "1e-400",
                                             "-0",
                                             "&H7FFF",
                                             "1,5",
                                             "nan",
                                             "inf",
                                             "--1",
                                             "+-1",
                                             "1e",
                                             ".",
                                             "-",
                                             "\xef\xbc\x94\xef\xbc\x91",
                                             "\xff\xfe\xfd",
                                             "\xe8\xae",
                                             "%s%n%x",
                                             "$(true)",
                                             "'\"\\",
                                             "\t\n 1 2 \n",
                                             "1e-30",
                                             "-1e-30",
                                             "=",
                                             "--reservoir-level",
                                             "1e38",
                                             "-1e38",
                                             "0.0000001"};
};

// ---------------------------------------------------------------------------
// One case: its command line, the expected outcome, and the checks.

// Where the result file is to go: a plain name in the case's folder, a name
// in a folder that does not exist (76), or the name of a folder (75).
enum class Target { Plain, MissingFolder, FolderAsName };

struct Expected {
  int error = 0;        // catalogue number, or 0
  std::string message;  // the whole error text, for an error of the run or its text
  std::string bytes;    // the file, when no error
  int dataLines = 0;
};

// What the library gives for the same texts: the run's error, else the file's
// (it is created before its text is written), else the text's.
Expected Expect(const kelvane::InputTexts& texts, Target target) {
  Expected expected;
  try {
    kelvane::SurgeRun run;
    kelvane::RunOutcome outcome = kelvane::Calculate(texts, run);
    if (target != Target::Plain) {
      expected.error = target == Target::MissingFolder ? 76 : 75;
      return expected;
    }
    kelvane::WriteResultText(
        run, outcome.parameters.OutputInterval,
        [&](std::string_view bytes) { expected.bytes += bytes; }, kelvane::NoProgress());
    expected.dataLines =
        kelvane::checks::ExpectedDataLines(run.StepCount(), outcome.parameters.OutputInterval)
            .value_or(-1);
  } catch (const kelvane::RunError& error) {
    expected.error = error.number();
    expected.message = kelvane::RunErrorText(error, kelvane::ErrorTextLayout::CommandLine);
  }
  return expected;
}

struct Case {
  int index = 0;
  kelvane::InputTexts texts;
  std::vector<std::string> arguments;
  fs::path folder, output;
  Target target = Target::Plain;
  std::optional<std::string> oldContent;
  Expected expected;
};

Case MakeCase(int index, std::uint64_t seed, const fs::path& folder) {
  Generator generator(seed * 1000003u + static_cast<std::uint64_t>(index));
  Case c;
  c.index = index;
  c.texts = generator.Texts();
  c.folder = folder;
  c.output = folder / generator.Pick(std::vector<std::string>{"计算结果.txt", "out.txt", "a b.dat",
                                                              "r" + std::to_string(index)});
  double where = std::uniform_real_distribution<double>(0, 1)(generator.random());
  if (where < 0.04) {
    c.target = Target::MissingFolder;
    c.output = folder / "missing" / c.output.filename();
  } else if (where < 0.07) {
    c.target = Target::FolderAsName;
  } else if (generator.Chance(0.3)) {
    c.oldContent = "old file " + generator.Bytes(generator.Between(0, 300));
  }

  for (kelvane::InputId box : kelvane::AllInputs()) {
    const std::string& text = c.texts[box];
    const kelvane::InputField& field = kelvane::Field(box);
    bool given = text != field.defaultText || generator.Chance(0.3);
    if (!given) continue;
    std::string option = std::string("--") + field.option;
    // The separate form takes any value, even one that begins with "-".
    if (generator.Chance(0.5)) {
      c.arguments.push_back(option);
      c.arguments.push_back(text);
    } else {
      c.arguments.push_back(option + "=" + text);
    }
  }
  c.arguments.push_back("--output");
  c.arguments.push_back(c.output.string());
  c.expected = Expect(c.texts, c.target);
  return c;
}

struct Totals {
  long cases = 0, completed = 0, refused = 0;
  long crashes = 0, sanitizerReports = 0, hangs = 0, damaged = 0, partial = 0, leftovers = 0;
  long wrongStatus = 0, wrongMessage = 0, mismatches = 0;
  std::map<int, long> errors;
  long failures() const {
    return crashes + sanitizerReports + hangs + damaged + partial + leftovers + wrongStatus +
           wrongMessage + mismatches;
  }
};

void Report(const Case& c, const std::string& problem) {
  std::printf("CASE %d: %s\n  kelvane --batch", c.index, problem.c_str());
  for (const std::string& argument : c.arguments) {
    std::printf(" '");
    for (unsigned char ch : argument) {
      if (ch < 0x20 || ch == 0x7F || ch == '\'') {
        std::printf("\\x%02X", ch);
      } else {
        std::putchar(ch);
      }
    }
    std::printf("'");
  }
  std::printf("\n");
}

void Judge(const Case& c, int status, bool timedOut, const std::string& out, const std::string& err,
           Totals& totals) {
  ++totals.cases;
  if (err.find("Sanitizer") != std::string::npos ||
      err.find("runtime error:") != std::string::npos) {
    ++totals.sanitizerReports;
    Report(c, "sanitizer report:\n" + err);
    return;
  }
  if (timedOut) {
    ++totals.hangs;
    Report(c, "no exit within the time limit");
    return;
  }
  if (!WIFEXITED(status)) {
    ++totals.crashes;
    Report(c, "ended by signal " + std::to_string(WTERMSIG(status)) + "\n" + err);
    return;
  }

  // Whatever the outcome, the folder holds the chosen name at most (an
  // empty folder of that name where one was given as the name).
  for (const auto& entry : fs::directory_iterator(c.folder)) {
    if (entry.path() != c.output) {
      ++totals.leftovers;
      Report(c, "left behind: " + entry.path().filename().string());
    }
  }
  if (c.target == Target::FolderAsName && !(fs::is_directory(c.output) && fs::is_empty(c.output))) {
    ++totals.damaged;
    Report(c, "the folder given as the name was changed");
  }
  bool exists = c.target == Target::Plain && fs::exists(c.output);
  std::string left = exists ? ReadFile(c.output) : std::string();

  int code = WEXITSTATUS(status);
  if (code == 0) {
    ++totals.completed;
    if (c.expected.error != 0) {
      ++totals.wrongStatus;
      Report(c, "exit 0, but the run fails with error " + std::to_string(c.expected.error));
    } else if (!exists) {
      ++totals.partial;
      Report(c, "exit 0 and no file");
    } else if (left != c.expected.bytes) {
      ++totals.partial;
      Report(c, "exit 0, file of " + std::to_string(left.size()) + " bytes, expected " +
                    std::to_string(c.expected.bytes.size()));
    } else if (std::string problem = kelvane::checks::CheckResultText(left, c.expected.dataLines);
               !problem.empty()) {
      ++totals.mismatches;
      Report(c, "file shape: " + problem);
    }
    if (!out.empty() || !err.empty()) {
      ++totals.wrongMessage;
      Report(c, "exit 0 but printed: " + out + err);
    }
    return;
  }
  if (code != 1) {
    ++totals.wrongStatus;
    Report(c, "exit status " + std::to_string(code) + "\n" + err);
    return;
  }

  ++totals.refused;
  if (err.empty()) {
    ++totals.wrongMessage;
    Report(c, "exit 1 and nothing on standard error");
    return;
  }
  // "运行时错误 'N': DESCRIPTION" and where it happened: two lines.
  int number = -1;
  std::size_t lines = static_cast<std::size_t>(std::count(err.begin(), err.end(), '\n'));
  std::sscanf(err.c_str(), "运行时错误 '%d': ", &number);
  auto known = kCatalogue.find(number);
  std::string first = err.substr(0, err.find('\n'));
  ++totals.errors[number];
  if (known == kCatalogue.end() || lines != 2 || err.back() != '\n' ||
      first != "运行时错误 '" + std::to_string(number) + "': " + known->second || !out.empty()) {
    ++totals.wrongMessage;
    Report(c, "error message: " + err);
  } else if (number != c.expected.error) {
    ++totals.mismatches;
    Report(c, "error " + std::to_string(number) + ", the library gives " +
                  std::to_string(c.expected.error));
  } else if (!c.expected.message.empty() && err != c.expected.message) {
    // The place too: the same formatter over the same location.
    ++totals.mismatches;
    Report(c, "error text:\n" + err + "the library gives:\n" + c.expected.message);
  }
  if (c.oldContent ? left != *c.oldContent : exists) {
    ++totals.damaged;
    Report(c, "a failed run changed the file (" + std::to_string(left.size()) + " bytes left)");
  }
}

// ---------------------------------------------------------------------------
// Running the processes, a few at a time.

struct Slot {
  pid_t pid = -1;
  Case current;
  std::chrono::steady_clock::time_point started;
  bool killed = false;
  fs::path folder, out, err;
};

pid_t Spawn(const std::string& kelvane, const Case& c, const Slot& slot) {
  std::vector<std::string> words = {kelvane, "--batch"};
  words.insert(words.end(), c.arguments.begin(), c.arguments.end());
  const int out = ::open(slot.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(slot.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = out < 0 || err < 0
                        ? -1
                        : kelvane::test::StartProcess(words, out, err, {.input = "/dev/null"});
  if (pid < 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", kelvane.c_str(), std::strerror(errno));
    std::exit(3);
  }
  ::close(out);
  ::close(err);
  return pid;
}

void Prepare(Slot& slot, Case c) {
  fs::remove_all(slot.folder);
  fs::create_directories(slot.folder);
  if (c.oldContent) std::ofstream(c.output, std::ios::binary) << *c.oldContent;
  if (c.target == Target::FolderAsName) fs::create_directory(c.output);
  slot.current = std::move(c);
}

}  // namespace

int main(int argc, char** argv) {
  std::string kelvane;
  int cases = 10000, jobs = 2;
  std::uint64_t seed = 1;
  double timeout = 60;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--kelvane") kelvane = argv[i + 1];
    if (name == "--cases") cases = std::atoi(argv[i + 1]);
    if (name == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    if (name == "--jobs") jobs = std::max(1, std::atoi(argv[i + 1]));
    if (name == "--timeout") timeout = std::atof(argv[i + 1]);
  }
  if (kelvane.empty()) {
    std::fprintf(stderr, "usage: kelvane-soak --kelvane PATH [--cases N] [--seed S] [--jobs J]\n");
    return 2;
  }

  const kelvane::test::TempDir work("kelvane-soak");
  std::vector<Slot> slots(static_cast<std::size_t>(jobs));
  for (std::size_t k = 0; k < slots.size(); ++k) {
    fs::path base = work / ("slot" + std::to_string(k));
    slots[k].folder = base / "folder";
    slots[k].out = base / "stdout";
    slots[k].err = base / "stderr";
    fs::create_directories(base);
  }

  auto start = std::chrono::steady_clock::now();
  Totals totals;
  int nextCase = 0, running = 0;
  while (nextCase < cases || running > 0) {
    for (Slot& slot : slots) {
      if (slot.pid < 0 && nextCase < cases) {
        Prepare(slot, MakeCase(nextCase, seed, slot.folder));
        ++nextCase;
        slot.killed = false;
        slot.started = std::chrono::steady_clock::now();
        slot.pid = Spawn(kelvane, slot.current, slot);
        ++running;
      }
      if (slot.pid < 0) continue;
      int status = 0;
      pid_t done = ::waitpid(slot.pid, &status, WNOHANG);
      if (done == 0) {
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - slot.started).count();
        if (elapsed > timeout && !slot.killed) {
          ::kill(slot.pid, SIGKILL);
          slot.killed = true;
        }
        continue;
      }
      Judge(slot.current, status, slot.killed, ReadFile(slot.out),
            WithoutInputWarnings(ReadFile(slot.err)), totals);
      slot.pid = -1;
      --running;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "%ld cases in %.1f s (%d jobs, seed %llu): %ld complete files, %ld refused with an "
      "error\n",
      totals.cases, seconds, jobs, static_cast<unsigned long long>(seed), totals.completed,
      totals.refused);
  std::printf("errors by number:");
  for (const auto& [number, count] : totals.errors) std::printf(" %d:%ld", number, count);
  std::printf(
      "\ncrashes %ld, sanitizer reports %ld, hangs %ld, damaged files %ld, partial files "
      "%ld, files left behind %ld, wrong exit status %ld, wrong messages %ld, outcomes "
      "unlike the library's %ld\n",
      totals.crashes, totals.sanitizerReports, totals.hangs, totals.damaged, totals.partial,
      totals.leftovers, totals.wrongStatus, totals.wrongMessage, totals.mismatches);
  return totals.failures() == 0 && totals.cases == cases ? 0 : 1;
}
