#include "files/node_labels.h"

#include <cmath>

#include "format/number_format.h"

namespace kelvane {
namespace {

std::vector<std::string> Labels(int segments, int decimals) {
  std::vector<std::string> labels;
  for (int k = 0; k <= segments; ++k)
    labels.push_back(Fixed(double(k) / segments, decimals, NegativeZero::Drop) + "L");
  return labels;
}

bool Exact(int segments, int decimals) {
  const double scale = std::pow(10.0, decimals);
  for (int k = 0; k <= segments; ++k) {
    const double scaled = double(k) * scale / segments;
    if (std::fabs(scaled - std::round(scaled)) > 1e-9) return false;
  }
  return true;
}

bool Distinct(const std::vector<std::string>& labels) {
  for (std::size_t k = 1; k < labels.size(); ++k)
    if (labels[k] == labels[k - 1]) return false;
  return true;
}

}  // namespace

std::vector<std::string> NodePositionLabels(int segments) {
  if (segments < 1) return {};
  constexpr int kMostExact = 4;  // 0.0625L; beyond, neighbours decide
  constexpr int kMost = 6;       // 32766 reaches still differ in the fifth
  for (int d = 1; d <= kMostExact; ++d)
    if (Exact(segments, d)) return Labels(segments, d);
  for (int d = 1; d < kMost; ++d) {
    std::vector<std::string> labels = Labels(segments, d);
    if (Distinct(labels)) return labels;
  }
  return Labels(segments, kMost);
}

}  // namespace kelvane
