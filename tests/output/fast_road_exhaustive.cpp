// Every single that takes the fast road of FormatHundredths (0.004 <= |x| <
// 1e7, both signs) against the printf road: about 520 million values, minutes.
// Built as its own program under the label "exhaustive".
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "output/output.h"
#include "support/reference_models.h"

namespace kelvane {
namespace {

TEST(FormatHundredthsExhaustive, FastRoadMatchesPrintfForEverySingle) {
  const std::uint32_t first = std::bit_cast<std::uint32_t>(0.004f);
  const std::uint32_t end = std::bit_cast<std::uint32_t>(1e7f);
  std::uint64_t differences = 0;
  char buffer[kFormatHundredthsMax];
  for (std::uint32_t bits = first; bits < end; ++bits) {
    for (std::uint32_t sign : {0u, 0x80000000u}) {
      const float value = std::bit_cast<float>(bits | sign);
      const std::string fast(buffer, FormatHundredthsTo(value, buffer));
      if (fast != reference::Hundredths(value) && ++differences <= 20) {
        ADD_FAILURE() << "bits 0x" << std::hex << (bits | sign) << ": \"" << fast << "\", printf \""
                      << reference::Hundredths(value) << "\"";
      }
    }
  }
  EXPECT_EQ(differences, 0u);
}

}  // namespace
}  // namespace kelvane
