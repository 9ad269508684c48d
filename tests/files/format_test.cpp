// The number-to-text rules.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "files/output.h"
#include "support/reference_models.h"

namespace kelvane {
namespace {

struct FormatCase {
  float value;
  const char* text;
};

TEST(FormatHundredths, WritesTheRule) {
  const FormatCase cases[] = {
      // The rule's own table.
      {0.5f, ".5"},
      {12.0f, "12."},
      {0.0f, "."},
      {0.004f, "."},
      {0.006f, ".01"},
      {0.1193324f, ".12"},
      {10.1f, "10.1"},
      {178.402f, "178.4"},
      {-4.0f, "-4."},
      {-4.34f, "-4.34"},
      {1287.414f, "1287.41"},
      // Halves are judged on seven significant digits, then go away from zero.
      {2.675f, "2.68"},  // binary value 2.67499995...
      {-2.675f, "-2.68"},
      {1.005f, "1.01"},  // binary value 1.00499999...
      {0.125f, ".13"},   // an exact binary half
      {0.005f, ".01"},
      {-0.005f, "-.01"},
      {0.0049f, "."},
      {2.665f, "2.67"},
      {0.05f, ".05"},
      {0.95f, ".95"},
      {0.995f, "1."},
      {9.995f, "10."},
      {99.995f, "100."},
      {-99.995f, "-100."},
      {1.1f, "1.1"},
      {100.0f, "100."},
      // Seven-digit ties go to even before the hundredths are taken.
      {1000000.5f, "1000000."},
      {1000001.5f, "1000002."},
      {123456.785f, "123456.8"},  // single 123456.78125: 7 digits 123456.8
      // A negative value that rounds to zero has no sign.
      {-0.004f, "."},
      {-0.0f, "."},
      {-1e-30f, "."},
      // Large values keep their seven significant digits.
      {9999999.0f, "9999999."},
      {10000000.0f, "10000000."},
      {16777215.0f, "16777220."},  // 7-digit tie to even
      {123456789.0f, "123456800."},
      {-3.4028235e38f, "-340282300000000000000000000000000000000."},
      {std::numeric_limits<float>::denorm_min(), "."},
      // Not from a complete run, but never a failure.
      {std::numeric_limits<float>::infinity(), "inf"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
      {std::numeric_limits<float>::quiet_NaN(), "nan"},
      {-std::numeric_limits<float>::quiet_NaN(), "nan"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatHundredths(c.value), c.text) << "value " << c.value;
    if (std::isfinite(c.value)) {
      EXPECT_EQ(reference::Hundredths(c.value), c.text) << "reference, value " << c.value;
    }
  }
}

// The fast road against the printf road.
::testing::AssertionResult SameAsReference(float value) {
  char buffer[kFormatHundredthsMax];
  const std::string fast(buffer, FormatHundredthsTo(value, buffer));
  if (!std::isfinite(value))
    return ::testing::AssertionSuccess();  // the model is for finite values
  const std::string reference = reference::Hundredths(value);
  if (fast == reference) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "bits 0x" << std::hex << std::bit_cast<std::uint32_t>(value) << ": fast \"" << fast
         << "\", printf \"" << reference << "\"";
}

TEST(FormatHundredths, FastRoadMatchesPrintfOnRandomBits) {
  std::mt19937 random(12345);
  for (int i = 0; i < 2000000; ++i)
    ASSERT_TRUE(SameAsReference(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
}

TEST(FormatHundredths, FastRoadMatchesPrintfOnTypicalValues) {
  std::mt19937 random(777);
  std::uniform_real_distribution<float> values(-20000.0f, 20000.0f);
  for (int i = 0; i < 1000000; ++i) ASSERT_TRUE(SameAsReference(values(random)));
}

// Every single within a few steps of a hundredth's half up to 200 in size
// (one half in 29 above, up to 20000), and of the powers of ten.
TEST(FormatHundredths, FastRoadMatchesPrintfNearEveryHalf) {
  for (int n = 0; n < 2000000; n += n < 20000 ? 1 : 29) {
    const float half = static_cast<float>((n + 0.5) / 100.0);
    float below = half, above = half;
    for (int step = 0; step < 3; ++step) {
      below = std::nextafter(below, 0.0f);
      above = std::nextafter(above, 1e30f);
    }
    for (float v = below; v <= above; v = std::nextafter(v, 1e30f)) {
      ASSERT_TRUE(SameAsReference(v));
      ASSERT_TRUE(SameAsReference(-v));
    }
  }
  for (double power = 1e-3; power < 2e7; power *= 10) {
    float v = static_cast<float>(power);
    for (int step = 0; step < 50; ++step) v = std::nextafter(v, 0.0f);
    for (int step = 0; step < 100; ++step, v = std::nextafter(v, 1e30f)) {
      ASSERT_TRUE(SameAsReference(v));
    }
  }
}

TEST(FormatHundredths, NeverOverrunsItsBuffer) {
  std::size_t longest = 0;
  for (float v : {-3.4028235e38f, 3.4028235e38f, -std::numeric_limits<float>::infinity()}) {
    longest = std::max(longest, FormatHundredths(v).size());
  }
  EXPECT_LT(longest, kFormatHundredthsMax);
}

// The other rules, each row a number the program writes somewhere.
TEST(NumberText, ShortestFixedAndSignificant) {
  struct Row {
    std::string text;
    const char* expected;
  };
  const Row rows[] = {
      // A single as the single it is, a double as the double it is.
      {ShortestText(0.1f), "0.1"},
      {ShortestText(double(0.1f)), "0.10000000149011612"},
      {ShortestText(119.3323974609375f), "119.3324"},
      {ShortestText(1e-30), "1e-30"},
      // The summary drops the sign of a negative value that rounds to zero;
      // the time and distance labels keep it.
      {Fixed(-0.0001, 3, NegativeZero::Drop), "0.000"},
      {Fixed(-0.0, 3, NegativeZero::Drop), "0.000"},
      {Fixed(-0.0001, 3, NegativeZero::Keep), "-0.000"},
      {Fixed(-0.0005, 3, NegativeZero::Drop), "-0.001"},  // binary value just above the half
      {SignificantText(0.000123456, 4), "0.0001235"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.text, row.expected);
}

// The longest double still gets all its digits.
TEST(NumberText, FixedWritesTheWholeOfAHugeValue) {
  const std::string text = Fixed(-1.7976931348623157e308, 3, NegativeZero::Keep);
  EXPECT_EQ(text.size(), 314u);
  EXPECT_TRUE(text.ends_with(".000")) << text;
  EXPECT_EQ(std::strtod(text.c_str(), nullptr), -1.7976931348623157e308);
}

}  // namespace
}  // namespace kelvane
