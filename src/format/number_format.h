// Number to text: every rule by which the program writes a number, beside
// the rule that reads one (inputs.h). The shortest, fixed and
// significant-digit rules are inline; the hundredths rule of the result file
// and the results table is in number_format.cpp. All of them ignore the C
// locale.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>

namespace kelvane {

// At most two decimals, the point always written, no leading zero before it
// and no trailing zeros after it (0.5 -> ".5", 12 -> "12."). Halves are
// judged on the single's value rounded to seven significant digits (ties to
// even), then rounded to hundredths away from zero (the single nearest 2.675
// gives "2.68", 0.125 gives ".13"). A value that rounds to zero has no sign
// ("."). Infinity gives "inf"/"-inf" and NaN "nan"; a complete run never
// holds them, but the function never fails.
std::string FormatHundredths(float value);

// The same into `out`, which must hold kFormatHundredthsMax bytes; returns the
// end of the text written (bytes past it, within the buffer, may be changed).
constexpr std::size_t kFormatHundredthsMax = 48;
char* FormatHundredthsTo(float value, char* out);

// The shortest text that reads back to the same single or double: plain or
// exponent form, whichever is shorter, plain on a tie ("41.6", "1e-30",
// "-0", "inf", "nan"). A single is written as the single it is: 0.1f gives
// "0.1", not the double's "0.10000000149011612".
inline void AppendShortest(std::string& out, float value) {
  char buffer[24];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}
inline void AppendShortest(std::string& out, double value) {
  char buffer[32];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}
inline std::string ShortestText(float value) {
  std::string text;
  AppendShortest(text, value);
  return text;
}
inline std::string ShortestText(double value) {
  std::string text;
  AppendShortest(text, value);
  return text;
}

// At most `digits` significant digits, as printf's "%.<digits>g" writes them
// (1234.5 with 4 digits gives "1234", 0.000123456 gives "0.0001235").
inline std::string SignificantText(double value, int digits) {
  char buffer[64];
  return {
      buffer,
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr};
}

// What Fixed writes for a negative value that rounds to zero.
enum class NegativeZero {
  Keep,  // "-0.000": the time and distance labels, as they always were
  Drop,  // "0.000": the summary, where a sign with no magnitude behind it misleads
};

// `decimals` digits after the point, always written ("1.313", "-4.340").
inline std::string Fixed(double value, int decimals, NegativeZero zero) {
  char buffer[360];  // the longest double (about 1.8e308) with its decimals
  std::string text(
      buffer,
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr);
  if (zero == NegativeZero::Drop && text.starts_with('-') &&
      text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

// The decimals a level and its limit print with: 3, or as many more as tell
// the two apart where they differ (a verdict that the rounding would hide:
// "-2.5314 m 高于 -2.5310 m"). Nine decimals tell any two singles of a
// level's size apart.
inline int VerdictDecimals(float value, float limit) {
  int decimals = 3;
  while (decimals < 9 && value != limit &&
         Fixed(value, decimals, NegativeZero::Drop) == Fixed(limit, decimals, NegativeZero::Drop)) {
    ++decimals;
  }
  return decimals;
}

}  // namespace kelvane
