// FormatFixed: fixed-point text of a double for the charts' labels.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "output/number_format.h"

namespace kelvane {

std::string FormatFixed(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  decimals = std::clamp(decimals, 0, 17);
  char buffer[400];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  // A negative value that rounds to zero: no sign before the zeros.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

}  // namespace kelvane
