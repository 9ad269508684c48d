// UTF-8 to GBK (code page 936). One of the two pieces tied to the operating
// system (glibc's iconv here); a port replaces gbk.cpp alone.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// A character GBK cannot hold, or broken UTF-8, becomes "?". Throws RunError
// (75) when the system has no GBK converter.
std::string ToGbk(std::string_view utf8);

}  // namespace kelvane
