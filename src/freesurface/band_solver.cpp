#include "freesurface/band_solver.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kelvane::freesurface {

BandMatrix::BandMatrix(int n, int lower, int upper)
    : n_(n),
      lower_(lower),
      upper_(upper),
      width_(2 * lower + upper + 1),
      rows_(static_cast<std::size_t>(n) * static_cast<std::size_t>(2 * lower + upper + 1), 0.0) {}

bool BandMatrix::Solve(std::vector<double>& rhs) {
  const int reach = lower_ + upper_;  // the furthest column a pivot row reaches
  for (int j = 0; j < n_; ++j) {
    const int last = std::min(n_ - 1, j + lower_);
    int pivot = j;
    for (int r = j + 1; r <= last; ++r)
      if (std::fabs(At(r, j)) > std::fabs(At(pivot, j))) pivot = r;
    if (At(pivot, j) == 0) return false;
    const int end = std::min(n_ - 1, j + reach);
    if (pivot != j) {
      for (int c = j; c <= end; ++c) std::swap(At(j, c), At(pivot, c));
      std::swap(rhs[j], rhs[pivot]);
    }
    for (int r = j + 1; r <= last; ++r) {
      const double factor = At(r, j) / At(j, j);
      if (factor == 0) continue;
      for (int c = j; c <= end; ++c) At(r, c) -= factor * At(j, c);
      rhs[r] -= factor * rhs[j];
    }
  }
  for (int j = n_ - 1; j >= 0; --j) {
    double sum = rhs[j];
    for (int c = j + 1; c <= std::min(n_ - 1, j + reach); ++c) sum -= At(j, c) * rhs[c];
    rhs[j] = sum / At(j, j);
  }
  return true;
}

}  // namespace kelvane::freesurface
