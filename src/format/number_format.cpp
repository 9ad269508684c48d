// FormatHundredths: the hundredths rule of the result file and the results table.
//
// The halfway test is made on the single's decimal value rounded to seven
// significant digits (ties to even, as "%.6e" rounds), so the single nearest
// 2.675 gives "2.68" although its binary value lies just below the half. That
// seven-digit value is then rounded to hundredths with halves away from zero.
// A value that rounds to zero is written "." whatever its sign.
//
// Fast path: a single times 10^k for k <= 12 is exact in double (24 + 28
// significant bits), so for 0.004 <= |x| < 1e7 one multiplication gives the
// exact decimal scaled to [1e6, 1e7) and one round-half-even gives its seven
// digits; an integer division (done as a multiplication) takes them to
// hundredths. Everything else (huge values, infinity, NaN) goes through printf.
// Infinity is written "inf" or "-inf" and NaN "nan" (printf's words); a
// complete run never holds them, but the function never fails.
#include "format/number_format.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

// The fast road stores digits packed in an integer register with the first
// digit in its lowest byte, which is the first byte in memory only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little,
              "the digit packing of FormatHundredthsTo assumes a little-endian machine");

namespace kelvane {
namespace {

constexpr std::array<double, 13> kPow10 = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                           1e7, 1e8, 1e9, 1e10, 1e11, 1e12};

// For each biased exponent of a single: the largest k with 2^e * 10^k < 1e7
// (k clamped to 0..12). For a single of that exponent, |x| * 10^k lies in
// [1e6, 2e7), so at most one step down brings it into [1e6, 1e7).
constexpr std::array<std::int8_t, 256> MakeScaleTable() {
  std::array<std::int8_t, 256> table{};
  for (int biased = 0; biased < 256; ++biased) {
    double lower = 1.0;
    const int e = biased - 127;
    for (int i = 0; i < e; ++i) lower *= 2.0;
    for (int i = 0; i > e; --i) lower /= 2.0;
    int k = 0;
    while (k < 12 && lower * kPow10[k + 1] < 1e7) ++k;
    table[biased] = static_cast<std::int8_t>(k);
  }
  return table;
}
constexpr std::array<std::int8_t, 256> kScale = MakeScaleTable();

constexpr std::array<std::uint64_t, 11> kPowersOfTen = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000};

// Division by 2·10^(k-2) for k = 3..9 as a multiplication: with s = 25 +
// ceil(log2 divisor) and factor = ceil(2^s / divisor), (x · factor) >> s is
// floor(x / divisor) for every x below 2^25 (the factor's excess times x
// stays below 2^s), and x · factor stays below 2^51.
struct Reciprocal {
  std::uint64_t factor;
  int shift;
};
constexpr std::array<Reciprocal, 10> MakeReciprocals() {
  std::array<Reciprocal, 10> table{};
  for (int k = 3; k <= 9; ++k) {
    const std::uint64_t divisor = 2 * kPowersOfTen[k - 2];
    int bits = 0;
    while ((std::uint64_t{1} << bits) < divisor) ++bits;
    const int shift = 25 + bits;
    table[k] = {((std::uint64_t{1} << shift) + divisor - 1) / divisor, shift};
  }
  return table;
}
constexpr std::array<Reciprocal, 10> kReciprocals = MakeReciprocals();

// Round half to even of 0 <= p < 2^52 in the default rounding mode.
inline double RoundHalfEven(double p) {
  constexpr double kShift = 4503599627370496.0;  // 2^52
  return (p + kShift) - kShift;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline std::uint64_t Pair(std::uint32_t n) {
  std::uint16_t pair;
  std::memcpy(&pair, kDigitPairs + 2 * n, 2);
  return pair;
}

// Writes "-"? integer "." decimals for a count of hundredths below 10^9,
// without data-dependent branches (the fast road's values come in any order).
// May write up to 8 bytes past the end it returns.
inline char* WriteHundredths(bool negative, std::uint32_t hundredths, char* out) {
  *out = '-';
  out += (negative && hundredths != 0) ? 1 : 0;
  const std::uint32_t whole = hundredths / 100;
  const std::uint32_t fraction = hundredths - whole * 100;
  // The integer part as digits in one register (first digit in the lowest
  // byte), shifted so that only the significant ones lead. Heads and times
  // mostly stay below 10000: four digits do for them.
  if (whole < 10000) {
    const std::uint32_t digits =
        static_cast<std::uint32_t>(Pair(whole / 100) | Pair(whole % 100) << 16);
    const int length = (whole >= 1) + (whole >= 10) + (whole >= 100) + (whole >= 1000);
    const std::uint32_t leading = digits >> ((32 - 8 * length) & 31);
    std::memcpy(out, &leading, 4);
    out += length;
  } else {
    const std::uint32_t high = whole / 10000, low = whole % 10000;
    const std::uint64_t digits =
        Pair(high / 100) | Pair(high % 100) << 16 | Pair(low / 100) << 32 | Pair(low % 100) << 48;
    const int length = 5 + (whole >= 100000) + (whole >= 1000000) + (whole >= 10000000);
    const std::uint64_t leading = digits >> (64 - 8 * length);
    std::memcpy(out, &leading, 8);
    out += length;
  }
  *out++ = '.';
  // Two decimals, of which a trailing zero (or both) are dropped.
  std::memcpy(out, kDigitPairs + 2 * fraction, 2);
  return out + (fraction != 0) + (fraction % 10 != 0);
}

// The printf road: any single, including huge values, infinity and NaN.
char* FormatSlow(float value, char* out) {
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(static_cast<double>(value));
  if (std::isnan(magnitude)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (std::isinf(magnitude)) {
    if (negative) *out++ = '-';
    std::memcpy(out, "inf", 3);
    return out + 3;
  }
  // "d.dddddde[+-]xx": seven significant digits, rounded half to even.
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6e", magnitude);
  const char digits[7] = {buffer[0], buffer[2], buffer[3], buffer[4],
                          buffer[5], buffer[6], buffer[7]};
  const int exponent = std::atoi(buffer + 9);
  // The value is digits * 10^(exponent - 6); in hundredths the shift is:
  const int shift = exponent - 4;

  // Hundredths as a decimal digit string (most significant first).
  char hundredths[64];
  int length = 0;
  if (shift >= 0) {
    for (char d : digits) hundredths[length++] = d;
    for (int i = 0; i < shift; ++i) hundredths[length++] = '0';
  } else {
    const int keep = 7 + shift;  // digits left of the rounding position
    if (keep < 0) {
      hundredths[length++] = '0';
    } else {
      hundredths[length++] = '0';  // room for a carry
      for (int i = 0; i < keep; ++i) hundredths[length++] = digits[i];
      if (digits[keep] >= '5') {
        int i = length - 1;
        while (hundredths[i] == '9') hundredths[i--] = '0';
        ++hundredths[i];
      }
    }
  }
  // Drop leading zeros, keeping at least the two decimals' places.
  int start = 0;
  while (start < length - 1 && hundredths[start] == '0') ++start;
  const bool zero = (length - start == 1 && hundredths[start] == '0');
  if (negative && !zero) *out++ = '-';
  const int whole = length - start - 2;  // integer digits (may be <= 0)
  for (int i = 0; i < whole; ++i) *out++ = hundredths[start + i];
  *out++ = '.';
  char d1 = '0', d2 = '0';
  if (whole >= 0) {
    d1 = hundredths[start + whole];
    d2 = hundredths[start + whole + 1];
  } else if (whole == -1) {
    d2 = hundredths[start];
  }
  if (d1 != '0' || d2 != '0') {
    *out++ = d1;
    if (d2 != '0') *out++ = d2;
  }
  return out;
}

}  // namespace

char* FormatHundredthsTo(float value, char* out) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const bool negative = (bits >> 31) != 0;
  const float magnitude = std::bit_cast<float>(bits & 0x7fffffffu);
  if (magnitude < 0.004f) {
    // Below 0.004 the seven-digit value stays below 0.005: zero hundredths.
    *out++ = '.';
    return out;
  }
  if (!(magnitude < 1e7f)) return FormatSlow(value, out);  // also infinity, NaN

  int k = kScale[bits >> 23 & 0xff];
  k -= (static_cast<double>(magnitude) * kPow10[k] >= 1e7) ? 1 : 0;
  const auto sevenDigits = static_cast<std::uint64_t>(
      static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(magnitude) * kPow10[k])));
  std::uint32_t hundredths;
  if (k <= 2) {
    hundredths = static_cast<std::uint32_t>(sevenDigits * kPowersOfTen[2 - k]);
  } else {
    // Halves away from zero: floor((2n + d) / 2d) with d = 10^(k-2).
    const Reciprocal& r = kReciprocals[k];
    const std::uint64_t numerator = 2 * sevenDigits + kPowersOfTen[k - 2];
    hundredths = static_cast<std::uint32_t>((numerator * r.factor) >> r.shift);
  }
  return WriteHundredths(negative, hundredths, out);
}

std::string FormatHundredths(float value) {
  char buffer[kFormatHundredthsMax];
  return std::string(buffer, FormatHundredthsTo(value, buffer));
}

}  // namespace kelvane
