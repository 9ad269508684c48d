// Slow, plainly written models of two rules of the program, used to check the
// fast code on arbitrary input (fuzz targets, the exhaustive number check).
// They favour being obviously right over being quick.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
// result is zero. Only for finite values. Writes into `out` (64 bytes at
// least) and gives back the length; plain character arrays keep it quick
// enough to run over every single value.
inline std::size_t HundredthsTo(float value, char* out) {
  char printed[32];
  std::snprintf(printed, sizeof printed, "%.6e", std::fabs(static_cast<double>(value)));
  // printed is "d.dddddde+XX": the value is the 7 digits times 10^(XX - 6).
  const char digits[7] = {printed[0], printed[2], printed[3], printed[4],
                          printed[5], printed[6], printed[7]};
  const int exponent = std::atoi(printed + 9);

  // h[0..n) is the decimal count of hundredths: digits * 10^(exponent - 4),
  // the dropped digits rounded half up.
  char h[64];
  int n;
  const int shift = exponent - 4;
  if (shift >= 0) {
    std::memcpy(h, digits, 7);
    std::memset(h + 7, '0', static_cast<std::size_t>(shift));
    n = 7 + shift;
  } else {
    const int dropped = -shift;
    const bool roundUp = dropped <= 7 && digits[7 - dropped] >= '5';
    if (dropped < 7) {
      n = 7 - dropped;
      std::memcpy(h, digits, static_cast<std::size_t>(n));
    } else {
      h[0] = '0';
      n = 1;
    }
    if (roundUp) {
      int k = n - 1;
      while (k >= 0 && h[k] == '9') h[k--] = '0';
      if (k >= 0) {
        ++h[k];
      } else {
        std::memmove(h + 1, h, static_cast<std::size_t>(n));
        h[0] = '1';
        ++n;
      }
    }
  }
  if (n < 3) {  // at least one whole digit and two decimals
    std::memmove(h + (3 - n), h, static_cast<std::size_t>(n));
    std::memset(h, '0', static_cast<std::size_t>(3 - n));
    n = 3;
  }

  int wholeStart = 0;
  while (wholeStart < n - 2 && h[wholeStart] == '0') ++wholeStart;
  int decimals = 2;
  while (decimals > 0 && h[n - 2 + decimals - 1] == '0') --decimals;
  const bool zero = wholeStart == n - 2 && decimals == 0;

  char* p = out;
  if (std::signbit(value) && !zero) *p++ = '-';
  std::memcpy(p, h + wholeStart, static_cast<std::size_t>(n - 2 - wholeStart));
  p += n - 2 - wholeStart;
  *p++ = '.';
  std::memcpy(p, h + n - 2, static_cast<std::size_t>(decimals));
  p += decimals;
  return static_cast<std::size_t>(p - out);
}

inline std::string Hundredths(float value) {
  char text[64];
  return std::string(text, HundredthsTo(value, text));
}

}  // namespace kelvane::reference
