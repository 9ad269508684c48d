// A banded linear system solved by Gaussian elimination with partial
// pivoting (the steady state's Newton steps).
#pragma once

#include <vector>

namespace kelvane::freesurface {

class BandMatrix {
 public:
  // n unknowns; row r holds columns r − lower .. r + upper.
  BandMatrix(int n, int lower, int upper);
  double& At(int row, int column) { return rows_[Index(row, column)]; }
  // Overwrites `rhs` with the solution; false for a singular matrix.
  bool Solve(std::vector<double>& rhs);

 private:
  // Pivoting shifts a row's entries up to `lower` places further right.
  int Index(int row, int column) const { return row * width_ + (column - row + lower_); }

  int n_;
  int lower_;
  int upper_;
  int width_;
  std::vector<double> rows_;
};

}  // namespace kelvane::freesurface
