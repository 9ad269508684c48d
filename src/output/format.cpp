// FormatHundredths: the one number-to-text rule of the program.
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
// digits. Everything else (huge values, infinity, NaN) goes through printf.
// Infinity is written "inf" or "-inf" and NaN "nan" (printf's words); a
// complete run never holds them, but the function never fails.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "output/output.h"

namespace kelvane {
namespace {

constexpr std::array<double, 13> kPow10 = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5, 1e6,
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

// Round half to even of 0 <= p < 2^52 in the default rounding mode.
inline double RoundHalfEven(double p) {
  constexpr double kShift = 4503599627370496.0;  // 2^52
  return (p + kShift) - kShift;
}

// Writes "-"? integer "." decimals for `hundredths` (a count of 0.01).
inline char* WriteHundredths(bool negative, std::uint64_t hundredths, char* out) {
  if (negative && hundredths != 0) *out++ = '-';
  std::uint64_t whole = hundredths / 100;
  const unsigned fraction = static_cast<unsigned>(hundredths % 100);
  if (whole != 0) {
    char digits[20];
    int n = 0;
    while (whole != 0) {
      digits[n++] = static_cast<char>('0' + whole % 10);
      whole /= 10;
    }
    while (n > 0) *out++ = digits[--n];
  }
  *out++ = '.';
  if (fraction != 0) {
    *out++ = static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) *out++ = static_cast<char>('0' + fraction % 10);
  }
  return out;
}

// Seven-digit value n (scaled by 10^k, 3 <= k <= 9) to hundredths, halves
// away from zero. Constant divisors keep the divisions cheap.
template <std::uint64_t kDivisor>
inline std::uint64_t DivideRoundingHalfUp(std::uint64_t n) {
  const std::uint64_t q = n / kDivisor;
  const std::uint64_t r = n - q * kDivisor;
  return q + (2 * r >= kDivisor ? 1 : 0);
}

inline std::uint64_t ScaledToHundredths(std::uint64_t n, int k) {
  switch (k) {
    case 0: return n * 100;
    case 1: return n * 10;
    case 2: return n;
    case 3: return DivideRoundingHalfUp<10>(n);
    case 4: return DivideRoundingHalfUp<100>(n);
    case 5: return DivideRoundingHalfUp<1000>(n);
    case 6: return DivideRoundingHalfUp<10000>(n);
    case 7: return DivideRoundingHalfUp<100000>(n);
    case 8: return DivideRoundingHalfUp<1000000>(n);
    case 9: return DivideRoundingHalfUp<10000000>(n);
    default: return 0;  // k > 9 only below 0.001, which the caller keeps out
  }
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
  const char digits[7] = {buffer[0], buffer[2], buffer[3], buffer[4], buffer[5], buffer[6], buffer[7]};
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
  double scaled = static_cast<double>(magnitude) * kPow10[k];  // exact
  if (scaled >= 1e7) scaled = static_cast<double>(magnitude) * kPow10[--k];
  const auto sevenDigits = static_cast<std::uint64_t>(RoundHalfEven(scaled));
  return WriteHundredths(negative, ScaledToHundredths(sevenDigits, k), out);
}

std::string FormatHundredths(float value) {
  char buffer[kFormatHundredthsMax];
  return std::string(buffer, FormatHundredthsTo(value, buffer));
}

std::string FormatHundredthsReference(float value) {
  char buffer[kFormatHundredthsMax];
  return std::string(buffer, FormatSlow(value, buffer));
}

}  // namespace kelvane
