// Whole files read and written as bytes, for the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kelvane::test {

// The file's bytes; empty if it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace kelvane::test
