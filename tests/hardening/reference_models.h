// Slow, plainly written models of two rules of the program, used to check the
// fast code on arbitrary input (fuzz targets, the exhaustive number check).
// They favour being obviously right over being quick.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kelvane::reference {

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The leading-number rule: drop every space, tab and line feed; read an
// optional sign, digits with at most one full stop, and an optional exponent
// (E or e, optional sign, digits); stop at the first character that does not
// fit; no mantissa digit reads as 0. The text that fits is handed to strtod,
// which rounds a decimal text correctly (infinity beyond the double range).
inline double LeadingNumber(std::string_view text) {
  std::string packed;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') packed += c;

  std::string number;
  std::size_t i = 0;
  if (i < packed.size() && (packed[i] == '+' || packed[i] == '-')) number += packed[i++];
  bool sawDigit = false;
  bool sawPoint = false;
  for (; i < packed.size(); ++i) {
    if (IsAsciiDigit(packed[i])) {
      sawDigit = true;
    } else if (packed[i] == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
    number += packed[i];
  }
  if (!sawDigit) return 0.0;

  if (i < packed.size() && (packed[i] == 'e' || packed[i] == 'E')) {
    std::string exponent = "e";
    std::size_t j = i + 1;
    if (j < packed.size() && (packed[j] == '+' || packed[j] == '-')) exponent += packed[j++];
    std::size_t digitsStart = j;
    while (j < packed.size() && IsAsciiDigit(packed[j])) exponent += packed[j++];
    if (j > digitsStart) number += exponent;
  }
  return std::strtod(number.c_str(), nullptr);
}

// The number-to-text rule as decided: the single's value rounded to 7
// significant digits by printf ("%.6e", ties to even), then that decimal
// rounded to hundredths with halves away from zero, written with the point
// always present, no leading zero, no trailing zeros, and no sign when the
// result is zero. Only for finite values.
inline std::string Hundredths(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6e", std::fabs(static_cast<double>(value)));
  // buffer is "d.dddddde+XX": the value is the 7 digits times 10^(XX - 6).
  std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 6);
  int exponent = std::atoi(buffer + 9);

  // The number of hundredths is digits * 10^(exponent - 4).
  int shift = exponent - 4;
  std::string hundredths;
  if (shift >= 0) {
    hundredths = digits + std::string(shift, '0');
  } else {
    int dropped = -shift;
    bool roundUp = dropped <= 7 && digits[7 - dropped] >= '5';
    hundredths = dropped < 7 ? digits.substr(0, 7 - dropped) : std::string("0");
    if (roundUp) {
      int k = static_cast<int>(hundredths.size()) - 1;
      while (k >= 0 && hundredths[k] == '9') hundredths[k--] = '0';
      if (k >= 0) {
        ++hundredths[k];
      } else {
        hundredths.insert(hundredths.begin(), '1');
      }
    }
  }

  while (hundredths.size() < 3) hundredths.insert(hundredths.begin(), '0');
  std::string whole = hundredths.substr(0, hundredths.size() - 2);
  std::string decimals = hundredths.substr(hundredths.size() - 2);
  while (!whole.empty() && whole[0] == '0') whole.erase(whole.begin());
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();

  bool zero = whole.empty() && decimals.empty();
  std::string text = (std::signbit(value) && !zero) ? "-" : "";
  return text + whole + "." + decimals;
}

}  // namespace kelvane::reference
