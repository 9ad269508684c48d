// The main window's progress bar: minimum, maximum and value are real
// numbers (singles); any range is accepted whatever the value, and setting
// the value redraws the bar at once without running the event loop.
#pragma once

#include <QProgressBar>

#include "files/output.h"

namespace kelvane::ui {

class RealProgressBar : public QProgressBar, public ProgressSink {
  Q_OBJECT

 public:
  struct State {
    float minimum = 0;
    float maximum = 100;
    float value = 0;
  };

  explicit RealProgressBar(QWidget* parent = nullptr);

  void SetMinimum(double value) override;
  void SetMaximum(double value) override;
  void SetValue(double value) override;

  float Minimum() const { return state_.minimum; }
  float Maximum() const { return state_.maximum; }
  float Value() const { return state_.value; }

  State Snapshot() const { return state_; }
  void Restore(const State& state);

 private:
  void ShowState();

  State state_;
};

}  // namespace kelvane::ui
