// FormatHundredths over every one of the 2^32 single values, against the slow
// printf reference. The reference is computed once per magnitude and serves
// both signs. The rule only grows with the magnitude (seven-digit rounding
// and hundredths rounding are both monotone), so once the reference gives "."
// for the largest magnitude that rounds to zero, every smaller one is known to
// give "." as well: that almost half of all singles is checked against "."
// directly, with the reference still run on every 64th of them. Non-finite
// values have no settled text: they are only checked to stay within the
// buffer bound and to agree between the two entry points.
//
//   kelvane-exhaustive-format [--threads N] [--stride K]
// (--stride K checks every K-th magnitude only, for a quick run.)
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "files/output.h"
#include "support/reference_models.h"

namespace {

float FromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct Tally {
  std::atomic<std::uint64_t> checked{0};
  std::atomic<std::uint64_t> differences{0};
  std::mutex printing;

  void Difference(float value, const std::string& got, const std::string& expected) {
    if (differences.fetch_add(1) < 50) {
      std::lock_guard<std::mutex> lock(printing);
      std::printf("DIFFERENCE %a (%.9g): \"%s\", reference \"%s\"\n", value, value, got.c_str(),
                  expected.c_str());
    }
  }
};

// Checks the magnitudes [begin, end) with the given stride, both signs; the
// magnitudes up to `zeroLimit` are known to give ".".
void CheckRange(std::uint32_t begin, std::uint32_t end, std::uint32_t stride,
                std::uint32_t zeroLimit, Tally& tally) {
  std::uint64_t checked = 0;
  char expected[65];
  char got[kelvane::kFormatHundredthsMax];
  for (std::uint64_t bits = begin; bits < end; bits += stride) {
    float positive = FromBits(static_cast<std::uint32_t>(bits));
    // The negative's text is the positive's with a minus, unless it is ".".
    expected[0] = '-';
    std::size_t length = 1;
    if (bits <= zeroLimit && (bits & 63) != 0) {
      expected[1] = '.';
    } else {
      length = kelvane::reference::HundredthsTo(positive, expected + 1);
    }
    std::string_view positiveText(expected + 1, length);
    std::string_view negativeText =
        positiveText == "." ? positiveText : std::string_view(expected, length + 1);

    std::string_view text(got, kelvane::FormatHundredthsTo(positive, got) - got);
    if (text != positiveText)
      tally.Difference(positive, std::string(text), std::string(positiveText));
    text = std::string_view(got, kelvane::FormatHundredthsTo(-positive, got) - got);
    if (text != negativeText)
      tally.Difference(-positive, std::string(text), std::string(negativeText));
    // The string form shares the rule; sample it.
    if ((bits & 0xFFF) == 0 && kelvane::FormatHundredths(positive) != positiveText)
      tally.Difference(positive, kelvane::FormatHundredths(positive), std::string(positiveText));
    checked += 2;
  }
  tally.checked += checked;
}

// Infinities and NaNs: bounded, and the two entry points agree.
std::uint64_t CheckNonFinite(Tally& tally) {
  std::uint64_t count = 0;
  for (std::uint64_t bits = 0x7F800000u; bits <= 0xFFFFFFFFu; ++bits) {
    if (bits == 0x80000000u) bits = 0xFF800000u;
    float value = FromBits(static_cast<std::uint32_t>(bits));
    char buffer[kelvane::kFormatHundredthsMax];
    char* end = kelvane::FormatHundredthsTo(value, buffer);
    std::size_t length = static_cast<std::size_t>(end - buffer);
    if (length > kelvane::kFormatHundredthsMax ||
        ((bits & 0xFFFF) == 0 && kelvane::FormatHundredths(value) != std::string(buffer, end)))
      tally.Difference(value, std::string(buffer, std::min(length, kelvane::kFormatHundredthsMax)),
                       "(bounded, same text from both entry points)");
    ++count;
  }
  tally.checked += count;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = 2;
  std::uint32_t stride = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--threads") == 0) threads = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--stride") == 0) stride = std::max(1, std::atoi(argv[i + 1]));
  }

  auto start = std::chrono::steady_clock::now();
  Tally tally;
  // Finite magnitudes are 0 .. 0x7F7FFFFF.
  constexpr std::uint32_t kFinite = 0x7F800000u;
  // The largest magnitude whose reference text is ".", by bisection (the
  // reference is monotone): 0 gives ".", the largest finite value does not.
  std::uint32_t zeroLimit = 0, above = kFinite - 1;
  while (above - zeroLimit > 1) {
    std::uint32_t middle = zeroLimit + (above - zeroLimit) / 2;
    (kelvane::reference::Hundredths(FromBits(middle)) == "." ? zeroLimit : above) = middle;
  }
  std::printf("the reference writes \".\" up to %a (%.9g)\n", FromBits(zeroLimit),
              FromBits(zeroLimit));

  // Hand the magnitudes out in chunks.
  constexpr std::uint32_t kChunk = 1u << 22;
  std::atomic<std::uint32_t> next{0};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (;;) {
        std::uint32_t begin = next.fetch_add(kChunk);
        if (begin >= kFinite) return;
        std::uint32_t end = std::min<std::uint64_t>(std::uint64_t{begin} + kChunk, kFinite);
        // Keep the stride's phase across chunks.
        std::uint32_t first = begin + (stride - begin % stride) % stride;
        if (first < end) CheckRange(first, end, stride, zeroLimit, tally);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  std::uint64_t nonFinite = stride == 1 ? CheckNonFinite(tally) : 0;

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "checked %llu values (%llu finite, %llu non-finite) in %.1f s on %u threads: %llu "
      "differences\n",
      static_cast<unsigned long long>(tally.checked.load()),
      static_cast<unsigned long long>(tally.checked.load() - nonFinite),
      static_cast<unsigned long long>(nonFinite), seconds, threads,
      static_cast<unsigned long long>(tally.differences.load()));
  return tally.differences.load() == 0 ? 0 : 1;
}
