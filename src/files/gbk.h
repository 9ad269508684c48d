// UTF-8 to GBK (code page 936). One of the pieces tied to the operating
// system: gbk.cpp (glibc's iconv) or gbk_win32.cpp (the system's code page
// 936, which writes the same bytes).
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// A character GBK cannot hold, or broken UTF-8, becomes "?". Throws RunError
// (75) when the system has no GBK converter.
std::string ToGbk(std::string_view utf8);

}  // namespace kelvane
