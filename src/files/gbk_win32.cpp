// UTF-8 to GBK through the system's code page 936. It holds every character
// glibc's GBK holds, with the same bytes, and in addition gives the private
// use area (U+E000 to U+F8FF) GBK's user-defined codes; those are written
// "?" here, as on Linux. Broken UTF-8 is skipped as glibc's iconv reports
// it: "?" for the byte where a sequence fails, its continuation bytes with it.
#include <windows.h>

#include <cstdint>

#include "files/gbk.h"

namespace kelvane {
namespace {

// The code point of the well-formed UTF-8 sequence at the start of `text`
// (no overlong form, no surrogate, at most U+10FFFF) and its length, or a
// length of 0.
std::size_t DecodeUtf8(std::string_view text, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2, code = lead & 0x1F, lowest = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3, code = lead & 0x0F, lowest = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4, code = lead & 0x07, lowest = 0x10000;
  else
    return 0;
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ToGbk(std::string_view utf8) {
  std::string gbk;
  gbk.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(utf8, code);
    if (length == 0) {
      gbk.push_back('?');
      do utf8.remove_prefix(1);
      while (!utf8.empty() && (static_cast<unsigned char>(utf8[0]) & 0xC0) == 0x80);
      continue;
    }
    utf8.remove_prefix(length);
    if (code < 0x80) {
      gbk.push_back(static_cast<char>(code));
      continue;
    }
    // Beyond the basic plane, and the private use area: not in GBK.
    if (code > 0xFFFF || (code >= 0xE000 && code <= 0xF8FF)) {
      gbk.push_back('?');
      continue;
    }
    const wchar_t wide = static_cast<wchar_t>(code);
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int written = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                              sizeof bytes, "?", &usedDefault);
    if (written <= 0 || usedDefault) {
      gbk.push_back('?');
    } else {
      gbk.append(bytes, static_cast<std::size_t>(written));
    }
  }
  return gbk;
}

}  // namespace kelvane
