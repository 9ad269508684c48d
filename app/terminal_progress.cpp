#include "terminal_progress.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace kelvane {
namespace {
constexpr int kBarWidth = 40;
}

void TerminalProgress::SetMinimum(double value) { minimum_ = value; }
void TerminalProgress::SetMaximum(double value) { maximum_ = value; }

void TerminalProgress::SetValue(double value) {
  if (!(maximum_ > minimum_) || std::isnan(value)) return;
  double fraction = (value - minimum_) / (maximum_ - minimum_);
  int percent = static_cast<int>(std::floor(std::fmin(std::fmax(fraction, 0.0), 1.0) * 100));
  if (percent == drawnPercent_) return;
  drawnPercent_ = percent;
  std::string line = "\r进度 [";
  int filled = percent * kBarWidth / 100;
  line.append(filled, '#');
  line.append(kBarWidth - filled, '-');
  line += "] " + std::to_string(percent) + "%";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void TerminalProgress::Clear() {
  if (drawnPercent_ < 0) return;
  drawnPercent_ = -1;
  // "进度 [" takes 6 columns, the bar 40, "] 100%" 6.
  std::string blank = "\r" + std::string(6 + kBarWidth + 6, ' ') + "\r";
  std::fputs(blank.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace kelvane
