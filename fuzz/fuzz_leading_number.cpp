// The leading-number rule on arbitrary bytes, checked against the slow model.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "model/model.h"
#include "support/reference_models.h"

namespace {

bool SameNumber(double a, double b) {
  // A zero's sign is not part of the rule ("-" and "-0" may read as either).
  if (a == 0 && b == 0) return true;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  double read = kelvane::ReadLeadingNumber(text);
  double model = kelvane::reference::LeadingNumber(text);
  if (!SameNumber(read, model)) {
    std::fprintf(stderr, "leading number of \"%.*s\": read %.17g (%a), model %.17g (%a)\n",
                 static_cast<int>(size), text.data(), read, read, model, model);
    std::abort();
  }
  return 0;
}
