// The case-file reader on arbitrary bytes: a case-file error naming the file,
// or sixteen texts that are written and read back unchanged. Never a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cases/case_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kelvane::CaseFile read;
  try {
    read = kelvane::ParseCaseFile(bytes, "fuzz.toml");
  } catch (const kelvane::CaseFileError& error) {
    if (std::string_view(error.what()).find("“fuzz.toml”") == std::string_view::npos) {
      std::fprintf(stderr, "error without the file name: %s\n", error.what());
      std::abort();
    }
    return 0;
  }
  // Whatever was read is UTF-8 (the parser checks it), so it can be written,
  // and reading that gives back the same case.
  const kelvane::CaseFile again = kelvane::ParseCaseFile(kelvane::CaseFileBytes(read), "again");
  if (!(again == read)) {
    std::fprintf(stderr, "case changed by writing and reading it again\n");
    std::abort();
  }
  return 0;
}
