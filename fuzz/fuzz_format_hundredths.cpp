// FormatHundredths on every bit pattern the fuzzer finds, against the slow
// printf reference; both entry points must agree and stay within their bound.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/output.h"
#include "support/reference_models.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  float value;
  std::memcpy(&value, data, sizeof value);

  std::string text = kelvane::FormatHundredths(value);
  char buffer[kelvane::kFormatHundredthsMax];
  char* end = kelvane::FormatHundredthsTo(value, buffer);
  std::size_t length = static_cast<std::size_t>(end - buffer);
  if (length > kelvane::kFormatHundredthsMax || text != std::string(buffer, length)) {
    std::fprintf(stderr, "FormatHundredths(%a) \"%s\" but FormatHundredthsTo gives %zu bytes\n",
                 value, text.c_str(), length);
    std::abort();
  }
  if (!std::isfinite(value)) return 0;  // the rule is only settled for numbers

  std::string expected = kelvane::reference::Hundredths(value);
  if (text != expected) {
    std::fprintf(stderr, "FormatHundredths(%a = %.9g) gives \"%s\", reference \"%s\"\n", value,
                 value, text.c_str(), expected.c_str());
    std::abort();
  }
  return 0;
}
