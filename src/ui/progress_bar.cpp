#include "ui/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace kelvane::ui {

namespace {
// The bar draws an integer range; real values are shown as a fraction of it.
constexpr int kSteps = 10000;
}  // namespace

RealProgressBar::RealProgressBar(QWidget* parent) : QProgressBar(parent) {
  setFocusPolicy(Qt::NoFocus);
  setTextVisible(false);
  setRange(0, kSteps);
  ShowState();
}

void RealProgressBar::SetMinimum(double value) {
  state_.minimum = static_cast<float>(value);
  ShowState();
}

void RealProgressBar::SetMaximum(double value) {
  state_.maximum = static_cast<float>(value);
  ShowState();
}

void RealProgressBar::SetValue(double value) {
  state_.value = static_cast<float>(value);
  ShowState();
  // The command that sets the value does not return to the event loop, so
  // the bar is drawn here and now.
  if (isVisible()) repaint();
}

void RealProgressBar::Restore(const State& state) {
  state_ = state;
  ShowState();
}

void RealProgressBar::ShowState() {
  // A value outside the range shows as an empty or a full bar; an empty or
  // reversed range shows an empty bar.
  const double span = static_cast<double>(state_.maximum) - state_.minimum;
  double fraction = 0;
  if (span > 0 && std::isfinite(span) && std::isfinite(state_.value))
    fraction = std::clamp((state_.value - static_cast<double>(state_.minimum)) / span, 0.0, 1.0);
  // The toolkit may redraw on its own here; SetValue alone decides when.
  const bool updates = updatesEnabled();
  setUpdatesEnabled(false);
  setValue(static_cast<int>(std::lround(fraction * kSteps)));
  setUpdatesEnabled(updates);
}

}  // namespace kelvane::ui
