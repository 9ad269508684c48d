// The TOML parser's descriptions of a syntax fault in the user's words.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The parser's English description ("Error while parsing key-value pair:
// expected value, saw '\n'") in Chinese ("键值对：缺少值，却是 '\n'"). The
// parts taken from the file (a character, a key, a number) are kept as they
// are; a description the parser may add in a later version and that is not
// known here becomes a plain "写法有误", never English.
std::string TomlErrorText(std::string_view description);

}  // namespace kelvane
