#include "terminal_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "evaluation/report.h"
#include "format/number_format.h"

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

StudyProgress::StudyProgress(std::int64_t total, bool draw) : total_(total), draw_(draw) {}

void StudyProgress::Done(std::int64_t done) {
  const Clock::time_point now = Clock::now();
  if (!draw_ || (done < total_ && now - drawn_ < std::chrono::milliseconds(100))) return;
  drawn_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  std::string line = "\r案例 " + std::to_string(done) + "/" + std::to_string(total_) + "  ";
  if (rate > 0) {
    const auto left =
        static_cast<std::int64_t>(std::ceil(static_cast<double>(total_ - done) / rate));
    const std::string leftSeconds = std::to_string(left % 60);
    line += Fixed(rate, 0, NegativeZero::Drop) + " 个/秒  剩余 " + std::to_string(left / 60) + ":" +
            (leftSeconds.size() < 2 ? "0" : "") + leftSeconds;
  }
  const int width = DisplayWidth(std::string_view(line).substr(1));
  if (width < width_) line.append(width_ - width, ' ');
  width_ = std::max(width_, width);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void StudyProgress::Clear() {
  if (width_ == 0) return;
  std::string blank(width_ + 2, ' ');
  blank.front() = blank.back() = '\r';
  std::fputs(blank.c_str(), stderr);
  std::fflush(stderr);
  width_ = 0;
}

}  // namespace kelvane
