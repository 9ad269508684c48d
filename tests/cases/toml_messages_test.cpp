// The TOML parser's faults reach the user in Chinese, with line and column:
// every description the parser writes, and the files that make it write them.
#include "cases/toml_messages.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "cases/case_file.h"

namespace kelvane {
namespace {

// The English words of `text`, outside the parts quoted from the file ('x',
// “1e400”): runs of three or more Latin letters but the names of formats.
std::vector<std::string> EnglishWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  const auto end = [&] {
    if (word.size() >= 3 && word != "TOML" && word != "UTF" && word != "Unicode")
      words.push_back(word);
    word.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i).starts_with("“")) {
      const std::size_t close = text.find("”", i);
      if (close == std::string_view::npos) break;
      i = close + std::string_view("”").size() - 1;
      end();
      continue;
    }
    const char c = text[i];
    if (c == '\'') {
      quoted = !quoted;
      end();
      continue;
    }
    if (!quoted && std::isalpha(static_cast<unsigned char>(c))) {
      word += c;
    } else {
      end();
    }
  }
  end();
  return words;
}

// The message of a case file the parser refuses.
std::string Refusal(const std::string& bytes) {
  try {
    ParseCaseFile(bytes, "a.toml");
  } catch (const CaseFileError& error) {
    return error.what();
  }
  return "";
}

// Files a hand may write, each making the parser fault in its own way, and
// a piece of the message it gives.
TEST(TomlMessages, FaultyFilesAreDescribedInChineseAtTheirLineAndColumn) {
  const std::pair<std::string, std::string> rows[] = {
      {"a = 01\n", "整数：数不能以多余的 0 开头"},
      {"a = 1e400\n", "“1e400”超出数的范围"},
      {"a = 1e999\n", "“1e999”超出数的范围"},
      {"a = 99999999999999999999\n", "超出数的范围（整数至多 19 位）"},
      {"a = \"\\q\"\n", "未知的转义序列 '\\q'"},
      {"a = [1,,2]\n", "此处应为值或 ']'，却是 逗号"},
      {"a = [1 2]\n", "缺少逗号或 ']'，却是 '2'"},
      {"a = {b = 1,}\n", "（之前的逗号多余）"},
      {"a = {b = 1 c = 2}\n", "缺少逗号或 '}'，却是 'c'"},
      {"a = {,}\n", "此处应为键值对或 '}'，却是 逗号"},
      {"a = 1_\n", "下划线之后应为数字"},
      {"a = _1\n", "值不能以下划线开头"},
      {"a = 1__2\n", "下划线只能写在数字之后"},
      {"a = 1.\n", "此处应为数字"},
      {"a = 1.0e\n", "指数的数字"},
      {"a = tru\n", "此处应为 'true'"},
      {"a = 1979-13-01\n", "月份应为 1 至 12，却是 13"},
      {"a = 1979-02-30\n", "日应为 1 至 28，却是 30"},
      {"a = 1979-05-27T07:61:00\n", "分钟应为 0 至 59"},
      {"a = 07:32:0\n", "两位数的秒"},
      {"a = \"\\uD800\"\n", "代理码位"},
      {"a = \"\\U00110000\"\n", "大于 U+10FFFF"},
      {"a = \"\\uZZZZ\"\n", "此处应为十六进制数字，却是 'Z'"},
      {"a = 0x1p3\n", "不支持十六进制的浮点数"},
      {"a = 0b102\n", "却是 '2'"},
      {"[a]\n[a]\n", "重复定义 'a'"},
      {"a = 1\na.b = 2\n", "重复定义：已是整数，不能再作点分键"},
      {"a = 1\n[a]\n", "重复定义 'a'（已是整数，不能再作表）"},
      {"[ [a] ]\n", "表数组的 [[ 与 ]] 中间不能有空白"},
      {"= 1\n", "此处应为键名或引号"},
      {"a\n", "缺少 '='，却是 '\\n'"},
      {"a =\n", "缺少值，却是 '\\n'"},
      {"a = \"x\n", "含控制字符，或引号未闭合"},
      {"a = 1 x\n", "值之后只能是注释或空白，却是 'x'（文字请加引号）"},
      {"a = 1\rb\n", "'\\r' 之后应为 '\\n'"},
      {"\"\"\"a\"\"\" = 1\n", "键名不能是多行字符串"},
      {"a = " + std::string(300, '[') + "\n", "嵌套多于"},
      {"a = \"", "文件意外结束"},
      {"a = 1 x = 2\n", "却是 'x'"},
      {"a = 1.0.0\n", "却是 '.'"},
      {"a = +\n", "不能识别的值"},
  };
  for (const auto& [bytes, fragment] : rows) {
    const std::string message = Refusal("format-version = 1\n" + bytes);
    EXPECT_NE(message.find(fragment), std::string::npos) << bytes << "\n" << message;
    EXPECT_NE(message.find("第 "), std::string::npos) << message;
    EXPECT_NE(message.find(" 列）"), std::string::npos) << message;
    EXPECT_EQ(EnglishWords(message), std::vector<std::string>()) << message;
  }
}

// Every description the parser writes, as it writes it (the parts it takes
// from the file filled in), reads without English.
TEST(TomlMessages, EveryDescriptionOfTheParserIsInChinese) {
  const std::vector<std::string> scopes = {"comment",
                                           "string",
                                           "unicode scalar sequence",
                                           "literal string",
                                           "boolean",
                                           "floating-point",
                                           "hexadecimal floating-point",
                                           "binary integer",
                                           "octal integer",
                                           "decimal integer",
                                           "hexadecimal integer",
                                           "date",
                                           "time",
                                           "date-time",
                                           "date-time offset",
                                           "value",
                                           "key",
                                           "table header",
                                           "key-value pair",
                                           "root table",
                                           "array",
                                           "inline table"};
  const std::vector<std::string> reasons = {
      "expected space or tab, saw '\\u3000'",
      "vertical tabs '\\v' and form-feeds '\\f' are not legal line breaks in TOML",
      "expected '\\n' after '\\r', saw EOF",
      "expected '\\n' after '\\r', saw 'b'",
      "control characters other than TAB (U+0009) are explicitly prohibited in comments",
      "unicode surrogates (U+D800 to U+DFFF) are explicitly prohibited in comments",
      "line-ending backslashes must be the last non-whitespace character on the line",
      "escape sequence '\\e' is not supported in TOML 1.0.0 and earlier",
      "escape sequence '\\x' is not supported in TOML 1.0.0 and earlier",
      "expected hex digit, saw 'g'",
      "unicode surrogates (U+D800 - U+DFFF) are explicitly prohibited",
      "values greater than U+10FFFF are invalid",
      "unknown escape sequence '\\q'",
      "unescaped control characters other than TAB (U+0009) are explicitly prohibited",
      "unescaped unicode surrogates (U+D800 to U+DFFF) are explicitly prohibited",
      "control characters other than TAB (U+0009) are explicitly prohibited",
      "encountered end-of-file",
      "expected 'true', saw 'tru'",
      "expected 'inf', saw 'in'",
      "expected value-terminator, saw 'x'",
      "underscores may only follow digits",
      "underscores must be followed by digits",
      "exceeds length limit of 512 digits",
      "exceeds length limit of 512 digits (consider using exponent notation)",
      "expected decimal digit, saw '.'",
      "expected exponent decimal digit or sign, saw '.'",
      "expected decimal digit or exponent, saw '.'",
      "expected decimal digit, saw 'x'",
      "expected decimal digit or '.', saw 'x'",
      "expected exponent digit, saw 'x'",
      "leading zeroes are prohibited",
      "'1e999' could not be interpreted as a value",
      "'1e999' is not representable in 64 bits",
      "an unspecified error occurred while trying to interpret '1e999' as a value",
      " expected '0', saw 'x'",
      "expected 'x' or 'X', saw 'y'",
      "expected exponent digit or sign, saw '.'",
      "expected hexadecimal digit or exponent, saw '.'",
      "expected exponent digit or sign, saw 'x'",
      "expected hexadecimal digit, saw 'x'",
      "expected hexadecimal digit or '.', saw 'x'",
      "fragment exceeeds maximum length of 32 characters",
      "missing exponent",
      "hexadecimal floating-point values are not supported in TOML 1.0.0 and earlier",
      "expected expected digit or sign, saw 'x'",
      "expected '0b', saw 'x'",
      "expected digit, saw 'x'",
      "exceeds length limit of 64 digits",
      "'0x1ffffffffffffffff' is not representable in 64 bits",
      "expected 4-digit year, saw '19'",
      "expected '-', saw 'x'",
      "expected 2-digit month, saw '1'",
      "expected month between 1 and 12 (inclusive), saw 13",
      "expected 2-digit day, saw '1'",
      "expected day between 1 and 28 (inclusive), saw 30",
      "expected 2-digit hour, saw '1'",
      "expected hour between 0 to 59 (inclusive), saw 60",
      "expected ':', saw 'x'",
      "expected 2-digit minute, saw '1'",
      "expected minute between 0 and 59 (inclusive), saw 61",
      "expected 2-digit second, saw '1'",
      "expected second between 0 and 59 (inclusive), saw 61",
      "expected '.', saw 'x'",
      "expected fractional digits, saw 'x'",
      "fractional component exceeds maximum precision of 9",
      "expected space, 'T' or 't', saw 'x'",
      "expected hour between 0 and 23 (inclusive), saw 24",
      "exceeded maximum nested value depth of 256 (TOML_MAX_NESTED_VALUES)",
      "unexpected control character",
      "values may not begin with underscores",
      "could not determine value type",
      "numeric value too long to identify type - cannot exceed 127 characters",
      "multi-line strings are prohibited in keys",
      "multi-line strings are prohibited in dotted keys",
      "expected bare key starting character or string delimiter, saw '='",
      "[[array-of-table]] brackets must be contiguous (i.e. [ [ this ] ] is prohibited)",
      "tables with blank bare keys are explicitly prohibited",
      "expected ']', saw 'x'",
      "expected a comment or whitespace, saw 'x'",
      "cannot insert 'b' into existing inline table",
      "cannot redefine existing table 'a'",
      "cannot redefine existing integer 'a' as table",
      "cannot redefine existing array 'a' as array-of-tables",
      "cannot redefine existing string as dotted key-value pair",
      "cannot redefine existing date-time 'a'",
      "expected '=', saw 'x'",
      "expected value, saw '\\n'",
      "expected a comment or whitespace, saw 'x'",
      "expected keys, tables, whitespace or comments, saw 'x'",
      "expected value or closing ']', saw comma",
      "expected comma or closing ']', saw 'x'",
      "expected key-value pair or closing '}', saw comma",
      "expected key-value pair, saw closing '}' (dangling comma)",
      "expected comma or closing '}', saw 'x'",
      "expected key or closing '}', saw 'x'",
      "Encountered invalid utf-8 sequence",
      "Encountered overlong utf-8 sequence",
      "Encountered EOF during incomplete utf-8 code point sequence",
      "Reading from the underlying stream failed - zero bytes read",
      "An unspecified error occurred",
  };
  for (const std::string& scope : scopes) {
    for (const std::string& reason : reasons) {
      const std::string text = TomlErrorText("Error while parsing " + scope + ": " + reason);
      EXPECT_EQ(EnglishWords(text), std::vector<std::string>()) << reason << "\n" << text;
      // Only the parser's own unspecified fault has no better words.
      EXPECT_EQ(text.ends_with("写法有误"), reason == "An unspecified error occurred") << reason;
    }
  }
}

}  // namespace
}  // namespace kelvane
