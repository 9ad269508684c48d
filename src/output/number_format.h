// Number to text: the one rule for every number the program writes.
#pragma once

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

// `value` with exactly `decimals` decimals (0 to 17), the point a '.' whatever
// the locale, a value that rounds to zero without its sign ("0.00", never
// "-0.00"); the axis labels of the charts. NaN and infinity as "nan", "inf".
std::string FormatFixed(double value, int decimals);

}  // namespace kelvane
