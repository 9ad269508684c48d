// Run states built by hand for the output tests, and a progress bar that
// records what it is told.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "files/output.h"
#include "model/model.h"
#include "model/run_editor.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace kelvane::testing {

// A run of `reaches` reaches and `steps` steps whose step i has the time
// time(i) and at node k the head head(k, i); the grids' extra last step too.
inline SurgeRun MakeRun(int reaches, int steps, const std::function<float(int)>& time,
                        const std::function<float(int, int)>& head) {
  SurgeRun run;
  SurgeRunEditor editor(run);
  editor.Resize(static_cast<std::int16_t>(reaches), static_cast<std::int16_t>(steps));
  for (int step = 1; step <= steps; ++step) editor.StepTimes()[step - 1] = time(step);
  for (int step = 1; step <= steps + 1; ++step) {
    float* heads = editor.HeadsAt(step);
    for (int node = 1; node <= reaches + 1; ++node) heads[node - 1] = head(node, step);
  }
  return run;
}

// Step i at time i - 1 (so step 1 is at 0), heads -node - step/100.
inline SurgeRun NumberedRun(int reaches, int steps) {
  return MakeRun(
      reaches, steps, [](int step) { return static_cast<float>(step - 1); },
      [](int node, int step) {
        return -static_cast<float>(node) - static_cast<float>(step) / 100;
      });
}

class RecordingProgress : public ProgressSink {
 public:
  struct Call {
    char what;  // 'n' minimum, 'x' maximum, 'v' value
    double value;
    bool operator==(const Call&) const = default;
  };
  void SetMinimum(double value) override { calls.push_back({'n', value}); }
  void SetMaximum(double value) override { calls.push_back({'x', value}); }
  void SetValue(double value) override { calls.push_back({'v', value}); }
  std::vector<double> Values() const {
    std::vector<double> values;
    for (const Call& call : calls)
      if (call.what == 'v') values.push_back(call.value);
    return values;
  }
  std::vector<Call> calls;
};

// Splits text at CR LF; every line must end with one (checked by the caller
// through the joined size).
inline std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start != text.size()) lines.push_back(text.substr(start) + "<no CR LF>");
  return lines;
}

}  // namespace kelvane::testing
